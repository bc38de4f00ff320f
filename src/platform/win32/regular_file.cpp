// Windows: a path is GBK inside and opens as UTF-16. What is no file on disk
// is refused before it is opened (a folder, a device name such as COM1 or
// NUL, a pipe), and once more on the open descriptor.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>

#include "platform/win32/wide_text.h"

namespace {

// A name in the device namespace: "\\.\COM1", "\\.\pipe\x", and the
// reserved names (COM1, NUL, CON, ...) anywhere, which the system resolves
// to "\\.\NAME".
bool NamesDevice(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return false;
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return false;
  return full.compare(0, 4, L"\\\\.\\") == 0;
}

SysStep StepOf(int flags) {
  if ((flags & _O_CREAT) != 0) return SysStep::kCreate;
  return (flags & (_O_WRONLY | _O_RDWR)) == 0 ? SysStep::kRead : SysStep::kWrite;
}

}  // namespace

SysError OpenRegularFile(const std::string& path, int flags, int* fd, mode_t mode) {
  *fd = -1;
  const SysStep step = StepOf(flags);
  const std::wstring wide = WideFromGbk(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) || NamesDevice(wide)) {
    return MakeSysError(step, EINVAL);
  }
  // Binary, and not inherited by programs we might start. The C runtime
  // opens it, so its errno holds the cause.
  const int opened = _wopen(wide.c_str(), flags | _O_BINARY | _O_NOINHERIT, mode & (_S_IREAD | _S_IWRITE));
  if (opened < 0) return MakeSysError(step, errno);
  struct _stat64 st {};
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(opened));
  if (_fstat64(opened, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG || GetFileType(handle) != FILE_TYPE_DISK) {
    _close(opened);
    return MakeSysError(step, EINVAL);
  }
  *fd = opened;
  return SysError();
}
