// The application's profile settings, kept as the framework keeps them on
// Windows (a registry key per application under a company key): there in
// the registry itself (win32/app_profile.cpp), elsewhere in an INI file
// through QSettings: "<config>/Local AppWizard-Generated
// Applications/Quillon.ini". It holds the recent-file list, four entries,
// most recent first, in section "Recent File List" as File1..File4.
// UI thread only.
#pragma once

#include <string>
#include <vector>

class CAppProfile {
 public:
  // registryKey: the company key; appName: the application's key (both
  // ASCII). nMaxRecent: how many recent files are kept.
  CAppProfile(const std::string& registryKey, const std::string& appName, int nMaxRecent);

  // Reads the recent-file list (entries that are empty are skipped).
  void Load();
  // Moves path (file system bytes) to the front of the list, drops what
  // falls off the end, and writes the list. Paths are compared exactly.
  void AddToRecentFileList(const std::string& path);
  const std::vector<std::string>& GetRecentFiles() const { return m_recent; }

  // The INI file's full path (for tests and the README).
  std::string FileName() const;

 private:
  void Save() const;

  std::string m_registryKey;
  std::string m_appName;
  int m_nMaxRecent;
  std::vector<std::string> m_recent;
};
