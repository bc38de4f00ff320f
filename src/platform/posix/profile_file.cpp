#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "platform/path_name.h"
#include "platform/profile.h"
#include "platform/regular_file.h"

namespace {

// Reads the whole file; see ReadProfileFile. extraFlags: O_NOFOLLOW for a
// rewrite.
SysError ReadWhole(const std::string& path, std::string* content, int extraFlags) {
  int fd = -1;
  const SysError opened = OpenRegularFile(path, O_RDONLY | extraFlags, &fd);
  if (opened.Failed()) return opened;
  content->clear();
  struct stat st {};
  bool tooLarge = fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) > PROFILE_MAX_BYTES;
  if (!tooLarge) content->reserve(static_cast<size_t>(st.st_size));
  char buffer[8192];
  while (!tooLarge) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      content->append(buffer, static_cast<size_t>(n));
      tooLarge = content->size() > PROFILE_MAX_BYTES;
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      const SysError failed = LastSysError(SysStep::kRead);
      close(fd);
      return failed;
    }
  }
  close(fd);
  if (tooLarge) {
    content->clear();
    content->shrink_to_fit();
    return MakeSysError(SysStep::kRead, EFBIG);
  }
  return SysError();
}

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Whether the file itself may be written. Its permission bits count for
// every user, root included: a history file made read-only is meant to stay
// as it is, and replacing it by a rename would otherwise succeed.
bool MayWrite(const std::string& path, const struct stat& st) {
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

SysError ReadProfileFile(const std::string& path, std::string* content) { return ReadWhole(path, content, 0); }

SysError ReadProfileForRewrite(const std::string& path, std::string* content, ProfileFileState* state) {
  // A symbolic link in the file's place is refused, never followed: whoever
  // could put it there (another user sharing the folder) would otherwise
  // choose which file we rewrite, as root /etc/passwd.
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return MakeSysError(SysStep::kWrite, ELOOP);
  *state = ProfileFileState();
  content->clear();
  const SysError read = ReadWhole(path, content, O_NOFOLLOW);
  if (read.Failed()) return read.code == ENOENT ? SysError() : read;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return MakeSysError(SysStep::kWrite, EINVAL);
  if (!MayWrite(path, st)) return MakeSysError(SysStep::kWrite, EACCES);
  state->exists = true;
  state->mode = static_cast<unsigned>(st.st_mode & 07777);
  return SysError();
}

bool ReplaceProfileFile(const std::string& path, const std::string& content, const ProfileFileState& state) {
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp" + std::to_string(getpid()) + "." + std::to_string(counter.fetch_add(1));
    // O_EXCL and O_NOFOLLOW: a name someone else made in the folder (a file,
    // a link) is never opened, only skipped.
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;  // missing folder, no permission
  }
  if (fd < 0) return false;
  // A new file gets the usual 0666 less the umask; an existing one keeps its mode.
  bool ok = WriteAll(fd, content);
  if (ok && state.exists) ok = fchmod(fd, static_cast<mode_t>(state.mode)) == 0;
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here does not undo the update.
  int dir = open(PathFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}
