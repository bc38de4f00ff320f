#include "port_identity_win32.h"

#include "win32_api.h"

#include <setupapi.h>

#include "platform/win32/wide_text.h"

namespace {

// The Ports (COM & LPT) device class.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// The PortName value of the device's hardware key ("COM3"), or empty.
std::wstring PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA* device) {
  HKEY key = SetupDiOpenDevRegKey(devices, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE) return std::wstring();
  wchar_t value[64] = {};
  DWORD type = 0;
  DWORD size = sizeof value - sizeof(wchar_t);  // room for the terminator a stored value may lack
  const LONG status = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::wstring();
  return value;
}

}  // namespace

std::string ComPortIdentity(const std::string& name) {
  const std::wstring wanted = WideFromGbk(name);
  HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return std::string();
  std::string identity;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; identity.empty() && SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
    if (CompareStringOrdinal(PortNameOf(devices, &device).c_str(), -1, wanted.c_str(), -1, TRUE) != CSTR_EQUAL) {
      continue;
    }
    wchar_t instance[512] = {};
    if (SetupDiGetDeviceInstanceIdW(devices, &device, instance, 511, nullptr)) identity = GbkFromWide(instance);
  }
  SetupDiDestroyDeviceInfoList(devices);
  return identity;
}
