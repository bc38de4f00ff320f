// The recent-file list's rule, the same on every system; where the list is
// kept is the system's (app_profile.cpp, win32/app_profile.cpp).
#include "app/app_profile.h"

#include <algorithm>

CAppProfile::CAppProfile(const std::string& registryKey, const std::string& appName, int nMaxRecent)
    : m_registryKey(registryKey), m_appName(appName), m_nMaxRecent(nMaxRecent) {}

void CAppProfile::AddToRecentFileList(const std::string& path) {
  if (path.empty() || m_nMaxRecent <= 0) return;
  m_recent.erase(std::remove(m_recent.begin(), m_recent.end(), path), m_recent.end());
  m_recent.insert(m_recent.begin(), path);
  if (static_cast<int>(m_recent.size()) > m_nMaxRecent) m_recent.resize(static_cast<std::size_t>(m_nMaxRecent));
  Save();
}
