#include "device/port_path.h"

#include <cerrno>

#include "device/port_name.h"
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

}  // namespace

PortPathLookup LookUpSerialDevicePath(const std::string& portName) {
  PortPathLookup lookup;
  if (IsDevicePathName(portName)) {
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
      lookup.path = DeviceOfPortsEntry(mapped);
      if (lookup.path.empty()) {
        lookup.error = MakeSysError(SysStep::kPortsEntry, EINVAL);
        lookup.file = file;
      }
      return lookup;
    }
  }
  const unsigned long n = ComNumber(upper);
  if (n == 0) {
    lookup.error = MakeSysError(SysStep::kName, 0);
    return lookup;
  }
  lookup.path = DefaultComDevice(n);
  return lookup;
}

std::string SerialDevicePath(const std::string& portName) { return LookUpSerialDevicePath(portName).path; }
