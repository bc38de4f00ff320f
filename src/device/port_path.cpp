#include "device/port_path.h"

#include <limits.h>

#include <cerrno>

#include "platform/config_dir.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

// n of "COMn" for n from 1 on, written without leading zeros; 0 otherwise.
unsigned long ComNumber(const std::string& upper) {
  if (upper.size() < 4 || upper.compare(0, 3, "COM") != 0) return 0;
  const std::string digits = upper.substr(3);
  std::uint64_t n = 0;
  if (digits[0] == '0' || !ParseDecimal(digits, 1, 999999999, &n)) return 0;
  return static_cast<unsigned long>(n);
}

// A path that open(2) takes as written: a relative one would depend on the
// folder the program was started in, and a NUL would cut it short.
bool IsWholeAbsolutePath(const std::string& path) {
  return !path.empty() && path[0] == '/' && path.size() < PATH_MAX && path.find('\0') == std::string::npos;
}

}  // namespace

PortPathLookup LookUpSerialDevicePath(const std::string& portName) {
  PortPathLookup lookup;
  if (!portName.empty() && portName[0] == '/') {
    lookup.path = portName;
    return lookup;
  }
  const std::string upper = AsciiUpper(portName);
  const std::string folder = ConfigDir();
  if (!upper.empty() && !folder.empty()) {
    const std::string file = folder + "/ports.ini";
    std::string mapped;
    const SysError read = ReadPrivateProfileValue("Ports", upper, file, &mapped);
    if (read.Failed()) {
      lookup.error = MakeSysError(SysStep::kPortsFile, read.code);
      lookup.file = file;
      return lookup;
    }
    if (!mapped.empty()) {
      if (!IsWholeAbsolutePath(mapped)) {
        lookup.error = MakeSysError(SysStep::kPortsEntry, EINVAL);
        lookup.file = file;
        return lookup;
      }
      lookup.path = mapped;
      return lookup;
    }
  }
  const unsigned long n = ComNumber(upper);
  if (n == 0) {
    lookup.error = MakeSysError(SysStep::kName, 0);
    return lookup;
  }
  lookup.path = "/dev/ttyS" + std::to_string(n - 1);
  return lookup;
}

std::string SerialDevicePath(const std::string& portName) { return LookUpSerialDevicePath(portName).path; }
