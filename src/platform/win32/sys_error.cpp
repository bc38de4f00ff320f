#include "platform/sys_error.h"

#include <winsock2.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace {

struct ErrnoOf {
  unsigned long win32;
  int posix;
};

// One table for every Win32 backend: files, folders, the registry, serial
// ports and sockets. Where Windows has two numbers for one cause, both rows
// lead to the same errno, so the words of the cause table are the same.
constexpr ErrnoOf kErrnoOf[] = {
    // Files, folders, devices.
    {ERROR_INVALID_FUNCTION, ENOTTY},  // a comm call on a handle that is no serial port
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},
    {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_BAD_PATHNAME, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},
    {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_CANNOT_MAKE, EACCES},
    {ERROR_PRIVILEGE_NOT_HELD, EPERM},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_NOT_ENOUGH_QUOTA, ENOMEM},
    {ERROR_NO_SYSTEM_RESOURCES, ENOMEM},
    {ERROR_WRITE_PROTECT, EROFS},
    {ERROR_BAD_UNIT, ENODEV},
    {ERROR_DEV_NOT_EXIST, ENODEV},
    {ERROR_DEVICE_NOT_CONNECTED, ENODEV},
    {ERROR_DEVICE_REMOVED, ENODEV},
    {ERROR_NOT_READY, ENXIO},
    {ERROR_GEN_FAILURE, EIO},
    {ERROR_OPEN_FAILED, EIO},
    {ERROR_SHARING_VIOLATION, EBUSY},
    {ERROR_LOCK_VIOLATION, EBUSY},
    {ERROR_BUSY, EBUSY},
    {ERROR_NOT_SUPPORTED, ENOTSUP},
    {ERROR_CALL_NOT_IMPLEMENTED, ENOSYS},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_NEGATIVE_SEEK, EINVAL},
    {ERROR_BROKEN_PIPE, EPIPE},
    {ERROR_NO_DATA, EPIPE},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_SEM_TIMEOUT, ETIMEDOUT},
    {ERROR_COUNTER_TIMEOUT, ETIMEDOUT},
    {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},
    {ERROR_DIRECTORY, ENOTDIR},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_CANT_RESOLVE_FILENAME, ELOOP},
    {ERROR_OPERATION_ABORTED, ECANCELED},
    {ERROR_NOACCESS, EFAULT},
    // Windows Sockets.
    {WSAEINTR, EINTR},
    {WSAEBADF, EBADF},
    {WSAENOTSOCK, EBADF},
    {WSAEACCES, EACCES},
    {WSAEFAULT, EFAULT},
    {WSAEINVAL, EINVAL},
    {WSAEMFILE, EMFILE},
    {WSAEWOULDBLOCK, EAGAIN},
    {WSAEINPROGRESS, EINPROGRESS},
    {WSAEALREADY, EALREADY},
    {WSAEDESTADDRREQ, EDESTADDRREQ},
    {WSAEMSGSIZE, EMSGSIZE},
    {WSAEPROTOTYPE, EPROTOTYPE},
    {WSAENOPROTOOPT, ENOPROTOOPT},
    {WSAEPROTONOSUPPORT, EPROTONOSUPPORT},
    {WSAESOCKTNOSUPPORT, EPROTONOSUPPORT},
    {WSAEOPNOTSUPP, EOPNOTSUPP},
    {WSAEPFNOSUPPORT, EAFNOSUPPORT},
    {WSAEAFNOSUPPORT, EAFNOSUPPORT},
    {WSAEADDRINUSE, EADDRINUSE},
    {WSAEADDRNOTAVAIL, EADDRNOTAVAIL},
    {WSAENETDOWN, ENETDOWN},
    {WSASYSNOTREADY, ENETDOWN},
    {WSAENETUNREACH, ENETUNREACH},
    {WSAENETRESET, ENETRESET},
    {WSAECONNABORTED, ECONNABORTED},
    {WSAECONNRESET, ECONNRESET},
    {WSAENOBUFS, ENOBUFS},
    {WSAEISCONN, EISCONN},
    {WSAENOTCONN, ENOTCONN},
    {WSAESHUTDOWN, EPIPE},
    {WSAETIMEDOUT, ETIMEDOUT},
    {WSAECONNREFUSED, ECONNREFUSED},
    {WSAELOOP, ELOOP},
    {WSAENAMETOOLONG, ENAMETOOLONG},
    {WSAEHOSTDOWN, EHOSTUNREACH},
    {WSAEHOSTUNREACH, EHOSTUNREACH},
};

// The C runtime's strerror knows only its own short table; these are the
// POSIX ones it calls "Unknown error", in the words glibc uses.
struct ErrnoWords {
  int code;
  const char* words;
};
constexpr ErrnoWords kErrnoWords[] = {
    {EADDRINUSE, "Address already in use"},
    {EADDRNOTAVAIL, "Cannot assign requested address"},
    {EAFNOSUPPORT, "Address family not supported by protocol"},
    {EALREADY, "Operation already in progress"},
    {ECANCELED, "Operation canceled"},
    {ECONNABORTED, "Software caused connection abort"},
    {ECONNREFUSED, "Connection refused"},
    {ECONNRESET, "Connection reset by peer"},
    {EDESTADDRREQ, "Destination address required"},
    {EHOSTUNREACH, "No route to host"},
    {EINPROGRESS, "Operation now in progress"},
    {EISCONN, "Transport endpoint is already connected"},
    {ELOOP, "Too many levels of symbolic links"},
    {EMSGSIZE, "Message too long"},
    {ENETDOWN, "Network is down"},
    {ENETRESET, "Network dropped connection on reset"},
    {ENETUNREACH, "Network is unreachable"},
    {ENOBUFS, "No buffer space available"},
    {ENOPROTOOPT, "Protocol not available"},
    {ENOTCONN, "Transport endpoint is not connected"},
    {ENOTSUP, "Operation not supported"},
    {EOPNOTSUPP, "Operation not supported"},
    {EPROTONOSUPPORT, "Protocol not supported"},
    {EPROTOTYPE, "Protocol wrong type for socket"},
    {ETIMEDOUT, "Connection timed out"},
    {EWOULDBLOCK, "Resource temporarily unavailable"},
};

// The system's own message for a Win32 error, in English where the system
// has it (the English wording of a cause stays English), one line.
std::string SystemMessage(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                           reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0) {
    n = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  }
  std::wstring message = n != 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) return "Windows error " + std::to_string(code);
  return GbkFromWide(message);
}

}  // namespace

int ErrnoFromWin32(unsigned long code) {
  if (code == 0) return 0;
  for (const ErrnoOf& row : kErrnoOf) {
    if (row.win32 == code) return row.posix;
  }
  return SYS_ERROR_FOREIGN + static_cast<int>(code & 0x0FFFFFFF);
}

SysError LastSysError(SysStep step) { return Win32SysError(step, GetLastError()); }

std::string SystemErrorText(int code) {
  if (code >= SYS_ERROR_FOREIGN) return SystemMessage(static_cast<unsigned long>(code - SYS_ERROR_FOREIGN));
  for (const ErrnoWords& row : kErrnoWords) {
    if (row.code == code) return row.words;
  }
  return std::strerror(code);
}
