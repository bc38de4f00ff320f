// The profile where the framework keeps it on Windows: the registry key
// HKEY_CURRENT_USER\Software\<registry key>\<application>, its recent-file
// list under "Recent File List" as File1..File4 (names as the program holds
// them, GBK, stored as the system's UTF-16 text).
#include "app/app_profile.h"

#include "platform/window/win32/win32_system.h"

#include "platform/window/win32/win32_text.h"

namespace {

std::wstring KeyPath(const std::string& registryKey, const std::string& appName) {
  return L"Software\\" + GbkToWide(registryKey) + L"\\" + GbkToWide(appName) + L"\\Recent File List";
}

}  // namespace

void CAppProfile::Load() {
  m_recent.clear();
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(m_registryKey, m_appName).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  for (int n = 1; n <= m_nMaxRecent; ++n) {
    wchar_t value[MAX_PATH * 4] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const std::wstring name = L"File" + std::to_wstring(n);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
        type == REG_SZ && value[0] != L'\0') {
      m_recent.push_back(WideToGbk(std::wstring(value)));
    }
  }
  RegCloseKey(key);
}

void CAppProfile::Save() const {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(m_registryKey, m_appName).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  for (int n = 1; n <= m_nMaxRecent; ++n) {
    const std::size_t i = static_cast<std::size_t>(n - 1);
    const std::wstring name = L"File" + std::to_wstring(n);
    if (i < m_recent.size()) {
      const std::wstring value = GbkToWide(m_recent[i]);
      RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    } else {
      RegDeleteValueW(key, name.c_str());
    }
  }
  RegCloseKey(key);
}

std::string CAppProfile::FileName() const {
  return "HKEY_CURRENT_USER\\Software\\" + m_registryKey + "\\" + m_appName;
}
