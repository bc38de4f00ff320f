#include <limits.h>

#include "device/port_name.h"
#include "device/port_path.h"

bool IsDevicePathName(const std::string& name) { return !name.empty() && name[0] == '/'; }

std::string DeviceOfPortsEntry(const std::string& entry) {
  const bool whole = !entry.empty() && entry[0] == '/' && entry.size() < PATH_MAX && entry.find('\0') == std::string::npos;
  return whole ? entry : std::string();
}

std::string DefaultComDevice(unsigned long n) { return "/dev/ttyS" + std::to_string(n - 1); }

std::string PortsEntryRule(Wording wording) {
  return wording == Wording::kChinese ? "须为以 / 开头的完整路径" : "it must be a whole path starting with /";
}
