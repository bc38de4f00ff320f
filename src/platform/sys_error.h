// The one shape in which an operation that talks to the operating system
// says that it failed, and the one table that words the cause.
//
// Open, write, create, bind and send return a SysError: the step that failed
// and the error number there. A default SysError is success. Questions with
// a yes/no answer return bool instead.
//
// Error numbers are POSIX errno values on every platform: a backend for
// another system translates its own numbers into these once, at its edge,
// so nothing above the platform layer ever reads errno or a system's own
// error numbers, and every translator below reads the same table. A Windows
// error that no errno value matches keeps its own number, offset by
// SYS_ERROR_FOREIGN, so that its words still come from the system.
//
// Any thread may call everything here; nothing blocks.
#pragma once

#include <string>

// Where an operation failed. The words for an error number depend on the
// step: EACCES while opening a device is a missing group, while sending it
// is a firewall rule.
enum class SysStep : unsigned char {
  kNone,          // no failure
  kName,          // a port name that names no device
  kSettingsText,  // line settings that are no valid text
  kOpen,          // opening a device
  kLock,          // taking the device's exclusive lock
  kSettings,      // the driver refused the line settings
  kReader,        // starting the reader thread
  kPortsFile,     // reading ports.ini
  kPortsEntry,    // ports.ini's entry for the port is no whole path
  kWrite,         // writing to a device or file
  kRead,          // reading a file
  kCreate,        // creating a file or socket
  kBind,          // binding the local UDP port
  kSend,          // sending a datagram
};

// Above every errno value: SYS_ERROR_FOREIGN + n is the system's own error
// n, which no errno value matches (Windows only).
constexpr int SYS_ERROR_FOREIGN = 0x10000;

struct SysError {
  SysStep step = SysStep::kNone;
  int code = 0;

  bool Failed() const { return step != SysStep::kNone; }
  bool operator==(const SysError&) const = default;
};

// The failure at step with the calling thread's last error: errno on POSIX,
// GetLastError translated on Windows (where the C runtime's errno is not
// read: code that fails through the C runtime makes its SysError from errno
// itself). Call it right after the failing call.
SysError LastSysError(SysStep step);
inline SysError MakeSysError(SysStep step, int code) { return SysError{step, code}; }

// Chinese is code page 936 bytes for the window and the zh_* terminal;
// English is plain ASCII for every other terminal.
enum class Wording { kChinese, kEnglish };

// What a cause's words may name: subject is the thing the step worked on (a
// device path, ports.ini's path, a local port number); detail is a second
// name where one is needed (the local address of a bind).
struct CauseSubject {
  std::string subject;
  std::string detail;
};

// The cause of error in words, without any heading ("原因：" or "cannot …:"
// belongs to the caller, which knows the sentence it is writing). Causes the
// table does not know come out as "<subject>: <system text>" or the system
// text alone. Empty for success.
std::string DescribeCause(const SysError& error, const CauseSubject& names, Wording wording);

// The system's own short text for an error number (strerror on Linux; on
// Windows English words for the errno values and the system's message for a
// foreign number).
std::string SystemErrorText(int code);
