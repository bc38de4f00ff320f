// Windows: the file opened as UTF-16 with every sharing mode, so that a
// reader never stops a rewrite's rename; the rewrite is a new file renamed
// over the old one with MoveFileExW.
#include "platform/profile_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>

#include "platform/profile.h"
#include "platform/win32/wide_text.h"

namespace {

// A name that the system resolves into the device namespace (COM1, NUL,
// \\.\pipe\...): opening it would be an act.
bool NamesDevice(const std::wstring& path) {
  wchar_t full[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
  return n > 0 && n < MAX_PATH * 4 && std::wstring_view(full, n).substr(0, 4) == L"\\\\.\\";
}

SysError ReadWhole(const std::wstring& path, std::string* content) {
  content->clear();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) || NamesDevice(path)) {
    return MakeSysError(SysStep::kRead, EINVAL);
  }
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastSysError(SysStep::kRead);
  SysError error;
  LARGE_INTEGER size {};
  bool ok = GetFileType(file) == FILE_TYPE_DISK;
  if (!ok) error = MakeSysError(SysStep::kRead, EINVAL);
  bool tooLarge = ok && GetFileSizeEx(file, &size) && static_cast<std::uint64_t>(size.QuadPart) > PROFILE_MAX_BYTES;
  if (ok && !tooLarge) content->reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[8192];
  while (ok && !tooLarge) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      error = LastSysError(SysStep::kRead);
      ok = false;
    } else if (got == 0) {
      break;
    } else {
      content->append(buffer, got);
      tooLarge = content->size() > PROFILE_MAX_BYTES;
    }
  }
  CloseHandle(file);
  if (ok && tooLarge) {
    error = MakeSysError(SysStep::kRead, EFBIG);
    ok = false;
  }
  if (!ok) {
    content->clear();
    content->shrink_to_fit();
  }
  return error;
}

bool WriteAll(HANDLE file, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 20));
    if (!WriteFile(file, content.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}

}  // namespace

SysError ReadProfileFile(const std::string& path, std::string* content) {
  return ReadWhole(WideFromGbk(path), content);
}

SysError ReadProfileForRewrite(const std::string& path, std::string* content, ProfileFileState* state) {
  const std::wstring wide = WideFromGbk(path);
  *state = ProfileFileState();
  content->clear();
  // A link or junction in the file's place is refused, never followed.
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return MakeSysError(SysStep::kWrite, ELOOP);
  }
  const SysError read = ReadWhole(wide, content);
  if (read.Failed()) return read.code == ENOENT ? SysError() : read;
  // A read-only history is meant to stay as it is.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return MakeSysError(SysStep::kWrite, EACCES);
  }
  state->exists = true;
  state->mode = attributes;
  return SysError();
}

bool ReplaceProfileFile(const std::string& path, const std::string& content, const ProfileFileState& state) {
  static std::atomic<unsigned> counter{0};
  const std::wstring target = WideFromGbk(path);
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(counter.fetch_add(1));
    // CREATE_NEW: a name someone else made in the folder is skipped, never opened.
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, content) && FlushFileBuffers(file);
  if (!CloseHandle(file)) ok = false;
  if (ok) ok = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    DeleteFileW(temp.c_str());
    return false;
  }
  // The replaced file's attributes (hidden, say) stay; the rename took the new file's.
  const DWORD kept = state.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  if (state.exists && kept != 0) SetFileAttributesW(target.c_str(), kept);
  return true;
}
