// A temporary folder, removed with the files the test wrote through it.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

struct TempFolder {
  std::string path;
  std::vector<std::string> files;
  TempFolder() {
    char pattern[] = "/tmp/quillon-device-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path = pattern;
  }
  ~TempFolder() {
    if (path.empty()) return;
    for (const std::string& name : files) unlink((path + "/" + name).c_str());
    rmdir(path.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  bool WriteFile(const std::string& name, const std::string& content) {
    FILE* f = std::fopen((path + "/" + name).c_str(), "wb");
    if (f == nullptr) return false;
    files.push_back(name);
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
  }
};
