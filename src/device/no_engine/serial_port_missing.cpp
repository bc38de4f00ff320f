// The stand-in for a serial engine that this system's folder does not have
// yet: everything builds and links, and every Open fails with a cause that
// says so (ENOSYS: "this build has no serial port engine for this system"),
// so a program built this way never seems to work while it cannot.
#include <cerrno>

#include "device/port_path.h"
#include "device/serial_open_error.h"
#include "device/serial_port.h"
#include "serial_port_impl.h"

CSerialPort::CSerialPort() : m_pImpl(std::make_unique<Impl>()) {}

CSerialPort::~CSerialPort() = default;

bool CSerialPort::Open(std::string port, std::string baud, std::string parity, std::string dataBits,
                       std::string stopBits, std::uint32_t eventMask) {
  const PortPathLookup lookup = LookUpSerialDevicePath(port);
  if (lookup.error.Failed()) {
    m_openError = SerialOpenError{lookup.error.step, lookup.error.code, lookup.file.empty() ? port : lookup.file};
  } else {
    m_openError = SerialOpenError{SysStep::kOpen, ENOSYS, lookup.path};
  }
  return false;
}

void CSerialPort::Close() {}

SysError CSerialPort::WriteAll(const std::uint8_t* data, std::size_t length) {
  return MakeSysError(SysStep::kWrite, EBADF);
}

bool CSerialPort::SetRTS(int state) { return false; }
bool CSerialPort::SetDTR(int state) { return false; }
bool CSerialPort::GetCTS(int* state) { return false; }
bool CSerialPort::GetDSR(int* state) { return false; }
bool CSerialPort::GetRLSD(int* state) { return false; }
bool CSerialPort::GetRING(int* state) { return false; }
bool CSerialPort::GetErrorCounts(SerialErrorCounts* counts) { return false; }

bool ReadDeviceAccess(const std::string& path, DeviceAccess* access) { return false; }
