#include "platform/config_dir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/path_name.h"

namespace {

std::mutex g_overrideLock;
std::string g_override;
std::string g_chosen;  // under g_overrideLock, once chosen
bool g_haveChosen = false;

// Why a folder may not hold our files, or null when it may: it must be a
// real folder (a link would let whoever made it choose where we write), owned
// by us or by root, and writable by nobody else (who could otherwise put a
// link or a ports.ini of their own into it).
const char* UntrustedBecause(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
  if (!S_ISDIR(st.st_mode)) return "it is not a folder";
  if (st.st_uid != geteuid() && st.st_uid != 0) return "another user owns it";
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return "others may write to it";
  return nullptr;
}

// Why the folders above path would let someone else swap it for their own:
// one of them belongs to another user (not root), or others may write to it
// without the sticky bit. Empty when none would.
std::string AncestorProblem(const std::string& path) {
  for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
       slash = path.rfind('/', slash - 1)) {
    const std::string above = path.substr(0, slash);
    struct stat st {};
    if (stat(above.c_str(), &st) != 0) continue;  // not there yet: we create it
    if (st.st_uid != geteuid() && st.st_uid != 0) return above + " belongs to another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX)) return "others may replace it in " + above;
  }
  return std::string();
}

// True when path may not hold our files, said on standard error (the
// process keeps its choice, so this is said once). A missing folder is
// judged by the folders above it.
bool PassedOver(const std::string& path) {
  struct stat st {};
  std::string why = AncestorProblem(path);
  if (why.empty() && lstat(path.c_str(), &st) == 0) {
    if (const char* own = UntrustedBecause(st)) why = own;
  }
  if (why.empty()) return false;
  std::fprintf(stderr, "quillon: not using %s as configuration folder: %s\n", path.c_str(), why.c_str());
  return true;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// Folders that belong to the system's package manager: nothing of ours is
// ever created there, also not when root runs the program.
bool IsSystemFolder(const std::string& path) {
  for (const char* top : {"/usr", "/bin", "/sbin", "/lib"}) {
    const std::string folder = top;
    if (path == folder || path.rfind(folder + "/", 0) == 0) return true;
  }
  return false;
}

// Creates every missing level of an absolute path; true when it is a
// folder afterwards.
bool CreateDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    CreateDirectoryOneLevel(path.substr(0, slash));
  }
  return CreateDirectoryOneLevel(path);
}

}  // namespace

std::string ExecutableDir() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return ".";
  path.resize(static_cast<size_t>(n));
  return PathFolder(path);
}

std::string ConfigDir() {
  {
    std::lock_guard<std::mutex> guard(g_overrideLock);
    if (!g_override.empty()) return g_override;
  }
  std::lock_guard<std::mutex> guard(g_overrideLock);
  if (!g_haveChosen) {
    g_haveChosen = true;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string homeDir = home != nullptr ? home : "";
    if (homeDir.empty()) {
      if (const passwd* user = getpwuid(getuid())) homeDir = user->pw_dir != nullptr ? user->pw_dir : "";
    }
    g_chosen = ChooseConfigDir(ExecutableDir(), xdg != nullptr ? xdg : "", homeDir);
  }
  return g_chosen;
}

std::string ChooseConfigDir(const std::string& exeDir, const std::string& xdgConfigHome,
                            const std::string& home) {
  const std::string beside = exeDir + "/ConfigFile";
  if (!IsSystemFolder(exeDir) && (Exists(beside) || access(exeDir.c_str(), W_OK | X_OK) == 0) &&
      !PassedOver(beside)) {
    if (Exists(beside) ? access(beside.c_str(), W_OK | X_OK) == 0 : CreateDirectoryOneLevel(beside)) return beside;
  }
  // XDG_CONFIG_HOME counts only as an absolute path; a relative one is
  // ignored. Without a home there is no folder at all: one under the shared
  // /tmp could be anybody's.
  std::string base = xdgConfigHome;
  if (base.empty() || base[0] != '/') {
    if (home.empty() || home[0] != '/') {
      std::fprintf(stderr, "quillon: no home folder, so no configuration folder: nothing is read or kept\n");
      return std::string();
    }
    base = home + "/.config";
  }
  const std::string folder = base + "/quillon/ConfigFile";
  if (PassedOver(folder)) return std::string();
  // A failure to create it shows later, as for any folder that cannot be written.
  CreateDirectories(folder);
  return folder;
}

void SetConfigDirOverride(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_overrideLock);
  g_override = path;
}

bool CreateDirectoryOneLevel(const std::string& path) {
  // Never group- or world-writable, whatever the umask: such a folder would
  // not be trusted with our files.
  if (mkdir(path.c_str(), 0755) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
