#include "device/port_name.h"
#include "device/port_path.h"
#include "platform/text.h"

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";

// "COMn", n from 1 without a leading zero.
bool IsComName(const std::string& upper) {
  std::uint64_t n = 0;
  return upper.size() >= 4 && upper.compare(0, 3, "COM") == 0 && upper[3] != '0' &&
         ParseDecimal(upper.substr(3), 1, 999999999, &n) == 1;
}

}  // namespace

bool IsDevicePathName(const std::string& name) { return name.rfind(kDevicePrefix, 0) == 0; }

std::string DeviceOfPortsEntry(const std::string& entry) {
  if (IsDevicePathName(entry) && entry.size() > 4 && entry.find('\0') == std::string::npos) return entry;
  const std::string upper = AsciiUpper(entry);
  return IsComName(upper) ? kDevicePrefix + upper : std::string();
}

// COM1 to COM9 also open without the prefix; COM10 and above only with it.
std::string DefaultComDevice(unsigned long n) { return kDevicePrefix + std::string("COM") + std::to_string(n); }

std::string PortsEntryRule(Wording wording) {
  return wording == Wording::kChinese ? "须为 COMn 或以 \\\\.\\ 开头的设备名" : "it must be COMn or a device name starting with \\\\.\\";
}
