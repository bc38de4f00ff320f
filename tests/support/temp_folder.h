// A temporary folder under /tmp, removed with everything below it when the
// test ends, whatever the code under test created there (ConfigFile, INI
// files, their temporaries). Plain POSIX: <filesystem> pulls in <chrono>,
// whose literals the GBK execution charset cannot encode.
#pragma once

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

struct TempFolder {
  std::string path;  // empty when no folder could be made

  explicit TempFolder(const char* tag = "test") {
    std::string pattern = std::string("/tmp/quillon-") + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~TempFolder() {
    if (path.empty()) return;
    // Depth first, without following links out of the folder.
    nftw(
        path.c_str(), [](const char* entry, const struct stat*, int, struct FTW*) { return remove(entry); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string operator/(const std::string& name) const { return path + "/" + name; }

  bool WriteFile(const std::string& name, const std::string& content) const {
    FILE* f = std::fopen((*this / name).c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
  }
};
