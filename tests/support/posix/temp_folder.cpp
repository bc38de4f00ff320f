#include "support/temp_folder.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>

#include <cstdio>

TempFolder::TempFolder(const char* tag) {
  std::string pattern = std::string("/tmp/quillon-") + tag + "-XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) path = pattern;
}

TempFolder::~TempFolder() {
  if (path.empty()) return;
  // Depth first, without following links out of the folder.
  nftw(
      path.c_str(), [](const char* entry, const struct stat*, int, struct FTW*) { return remove(entry); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

bool TempFolder::WriteFile(const std::string& name, const std::string& content) const {
  FILE* f = std::fopen((*this / name).c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  return std::fclose(f) == 0 && ok;
}
