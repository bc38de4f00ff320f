// A temporary folder (under /tmp, or the user's temporary folder on
// Windows), removed with everything below it when the test ends, whatever
// the code under test created there (ConfigFile, INI files, their
// temporaries). Its path is a name as the program holds it (GBK on Windows).
// Plain system calls in posix/ and win32/: <filesystem> pulls in <chrono>,
// whose literals the GBK execution charset cannot encode.
#pragma once

#include <string>

struct TempFolder {
  std::string path;  // empty when no folder could be made

  explicit TempFolder(const char* tag = "test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string operator/(const std::string& name) const { return path + "/" + name; }

  bool WriteFile(const std::string& name, const std::string& content) const;
};
