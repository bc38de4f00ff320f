#include "serial_open_win32.h"

#include <cerrno>

#include "platform/text.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace {

// The driver's queues (SetupComm): what the input queue holds while the
// reader is busy.
constexpr DWORD kQueueBytes = 4096;

constexpr char kDevicePrefix[] = "\\\\.\\";

HANDLE Fail(SerialOpenError* error, SysStep step, DWORD code, const std::string& path, HANDLE port) {
  *error = SerialOpenError{step, ComErrno(step, code), ComPortName(path)};
  if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

std::string ComPortName(const std::string& devicePath) {
  const std::string upper = AsciiUpper(devicePath);
  return upper.rfind(kDevicePrefix, 0) == 0 ? upper.substr(sizeof kDevicePrefix - 1) : upper;
}

std::string ComLineDefinition(const SerialLineSettings& settings) {
  return StrFormat("baud=%u parity=%c data=%d stop=%d", static_cast<unsigned>(settings.nBaud), settings.cParity,
                   settings.nDataBits, settings.nStopBits);
}

void ApplyComRules(DCB* dcb) {
  dcb->XonLim = 100;
  dcb->XoffLim = 100;
  dcb->XonChar = 0x11;
  dcb->XoffChar = 0x13;
  dcb->fBinary = 1;
  dcb->fParity = 1;
  dcb->fOutxCtsFlow = 0;
  dcb->fOutxDsrFlow = 0;
  dcb->fDtrControl = DTR_CONTROL_DISABLE;
  dcb->fDsrSensitivity = 0;
  dcb->fOutX = 0;
  dcb->fInX = 0;
  dcb->fRtsControl = RTS_CONTROL_DISABLE;
  // What another program may have left on the port and would lose or alter
  // bytes: null bytes dropped, damaged bytes replaced, reads and writes
  // refused after a line error.
  dcb->fNull = 0;
  dcb->fErrorChar = 0;
  dcb->fAbortOnError = 0;
}

int ComErrno(SysStep step, DWORD code) {
  if (step == SysStep::kOpen && code == ERROR_ACCESS_DENIED) return EBUSY;
  return ErrnoFromWin32(code);
}

HANDLE OpenComPort(const std::string& devicePath, const SerialLineSettings& settings, std::uint32_t eventMask,
                   SerialOpenError* error) {
  // Wide, through code page 936 like every other name, so that a non-Chinese
  // system opens the same device.
  const std::wstring path = WideFromGbk(devicePath);
  HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) return Fail(error, SysStep::kOpen, GetLastError(), devicePath, port);
  // "\\.\" reaches every device and, through a drive letter, every file:
  // only a character device is configured, so nothing else is touched.
  if (GetFileType(port) != FILE_TYPE_CHAR) return Fail(error, SysStep::kOpen, ERROR_INVALID_FUNCTION, devicePath, port);

  COMMTIMEOUTS none{};
  if (!SetCommTimeouts(port, &none)) return Fail(error, SysStep::kSettings, GetLastError(), devicePath, port);
  SetupComm(port, kQueueBytes, kQueueBytes);  // a request the driver may round or ignore
  if (!SetCommMask(port, eventMask)) return Fail(error, SysStep::kSettings, GetLastError(), devicePath, port);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return Fail(error, SysStep::kSettings, GetLastError(), devicePath, port);
  const std::string definition = ComLineDefinition(settings);
  if (!BuildCommDCBA(definition.c_str(), &dcb)) {
    return Fail(error, SysStep::kSettings, ERROR_INVALID_PARAMETER, devicePath, port);
  }
  ApplyComRules(&dcb);
  if (!SetCommState(port, &dcb)) return Fail(error, SysStep::kSettings, GetLastError(), devicePath, port);
  // The DCB already keeps the driver from raising them; these lower lines a
  // previous program left up before the state took effect.
  EscapeCommFunction(port, CLRDTR);
  EscapeCommFunction(port, CLRRTS);
  if (!PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
    return Fail(error, SysStep::kSettings, GetLastError(), devicePath, port);
  }
  return port;
}
