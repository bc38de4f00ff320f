// The serial ports Windows knows: the registry's SERIALCOMM map (every port
// a driver has created, by its COM name) and, for the name Device Manager
// shows, the Ports device class through SetupAPI.
#include "device/port_list.h"

#include <windows.h>
#include <setupapi.h>

#include <map>
#include <string>

#include "platform/win32/wide_text.h"

namespace {

// The Ports (COM & LPT) device class, {4D36E978-E325-11CE-BFC1-08002BE10318}.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// A string value of an open registry key; empty when it has none.
std::wstring StringValue(HKEY key, const wchar_t* name) {
  wchar_t value[256];
  DWORD size = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::wstring();
  }
  value[size / sizeof(wchar_t)] = L'\0';
  return value;
}

std::wstring DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property) {
  wchar_t value[256] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(devices, device, property, &type, reinterpret_cast<BYTE*>(value),
                                         sizeof value - sizeof(wchar_t), nullptr) ||
      type != REG_SZ) {
    return std::wstring();
  }
  return value;
}

// COM name (as the registry spells it) → what the Ports class says of it.
std::map<std::wstring, SerialPortInfo> PortsClassDevices() {
  std::map<std::wstring, SerialPortInfo> found;
  const HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return found;
  SP_DEVINFO_DATA device {};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
    const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const std::wstring name = StringValue(key, L"PortName");
    RegCloseKey(key);
    if (name.empty()) continue;
    SerialPortInfo info;
    info.maker = GbkFromWide(DeviceProperty(devices, &device, SPDRP_MFG));
    info.product = GbkFromWide(DeviceProperty(devices, &device, SPDRP_FRIENDLYNAME));
    info.driver = GbkFromWide(DeviceProperty(devices, &device, SPDRP_SERVICE));
    found[name] = info;
  }
  SetupDiDestroyDeviceInfoList(devices);
  return found;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const std::string& sysRoot, const std::string& devRoot) {
  std::vector<SerialPortInfo> ports;
  HKEY map = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &map) != ERROR_SUCCESS) {
    return ports;
  }
  const std::map<std::wstring, SerialPortInfo> described = PortsClassDevices();
  for (DWORD i = 0;; ++i) {
    wchar_t device[256];
    wchar_t name[256];
    DWORD deviceLength = 255;
    DWORD nameSize = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegEnumValueW(map, i, device, &deviceLength, nullptr, &type, reinterpret_cast<BYTE*>(name),
                                      &nameSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    name[nameSize / sizeof(wchar_t)] = L'\0';
    SerialPortInfo info;
    if (const auto known = described.find(name); known != described.end()) info = known->second;
    info.path = GbkFromWide(name);
    // Without a Ports class entry the driver's device object still tells
    // what kind of port it is ("\Device\Serial0" gives "Serial0").
    if (info.driver.empty() && info.product.empty()) {
      const std::wstring object(device, deviceLength);
      info.driver = GbkFromWide(object.substr(object.find_last_of(L'\\') + 1));
    }
    ports.push_back(info);
  }
  RegCloseKey(map);
  SortSerialPorts(&ports);
  return ports;
}

SerialReopenRule ReopenRuleFor(const std::string& path) { return SerialReopenRule::kFollow; }

std::string SerialDeviceIdentity(const std::string& path, const std::string& sysRoot) { return std::string(); }
