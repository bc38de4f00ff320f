#include "device/port_path.h"

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

std::string SerialDevicePath(const std::string& portName) {
  if (!portName.empty() && portName[0] == '/') return portName;
  const std::string upper = AsciiUpper(portName);
  if (upper.empty()) return std::string();
  const std::string mapped =
      GetPrivateProfileString("Ports", upper, "", 4096, ConfigDir() + "/ports.ini");
  if (!mapped.empty()) return mapped;
  const unsigned long n = ComNumber(upper);
  if (n == 0) return std::string();
  return "/dev/ttyS" + std::to_string(n - 1);
}
