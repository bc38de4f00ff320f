#include "support/temp_folder.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/wide_text.h"

namespace {

// Depth first; a link or junction is removed, never entered.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = folder + L"\\" + name;
      const bool descend = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                           (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (descend) {
        RemoveTree(child);
      } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveDirectoryW(child.c_str());
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempFolder::TempFolder(const char* tag) {
  wchar_t base[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0 || n > MAX_PATH) return;
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = std::wstring(base) + L"quillon-" + WideFromUtf8(tag) + L"-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
      path = GbkPathFromWide(folder);
      if (path.empty()) RemoveDirectoryW(folder.c_str());
      return;
    }
  }
}

TempFolder::~TempFolder() {
  if (!path.empty()) RemoveTree(WideFromGbk(path));
}

bool TempFolder::WriteFile(const std::string& name, const std::string& content) const {
  FILE* f = _wfopen(WideFromGbk(*this / name).c_str(), L"wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  return std::fclose(f) == 0 && ok;
}
