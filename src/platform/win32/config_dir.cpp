// Windows: ConfigFile beside the executable when that folder can be written
// (a portable copy, an unzipped folder), else %APPDATA%\Quillon\ConfigFile.
// Names are split into folders as UTF-16: a GBK trail byte may be 0x5C, the
// backslash.
#include "platform/config_dir.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/wide_text.h"

namespace {

std::wstring ExecutableFolderWide() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return L".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != 0 || IsFolder(path); }

// Whether a file can be made in folder: the folder's access rules decide,
// and only trying tells (Program Files refuses a user who is no
// administrator). The probe goes away when its handle closes.
bool MayWriteIn(const std::wstring& folder) {
  const std::wstring probe = folder + L"\\.quillon-probe-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::wstring EnvironmentValue(const wchar_t* name) {
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return std::wstring();
  std::wstring value(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
  value.resize(got < n ? got : 0);
  return value;
}

}  // namespace

std::string ExecutableDir() {
  const std::string folder = GbkPathFromWide(ExecutableFolderWide());
  return folder.empty() ? std::string(".") : folder;
}

std::string DefaultConfigDir() {
  return ChooseConfigDir(ExecutableDir(), GbkPathFromWide(EnvironmentValue(L"APPDATA")), std::string());
}

std::string ChooseConfigDir(const std::string& exeDir, const std::string& userConfigHome, const std::string& home) {
  const std::wstring beside = WideFromGbk(exeDir) + L"\\ConfigFile";
  if (IsFolder(beside) ? MayWriteIn(beside) : CreateDirectoryW(beside.c_str(), nullptr) != 0) {
    return exeDir + "\\ConfigFile";
  }
  if (userConfigHome.empty()) {
    std::fprintf(stderr, "quillon: no application data folder (%%APPDATA%%), so no configuration folder: "
                         "nothing is read or kept\n");
    return std::string();
  }
  const std::wstring base = WideFromGbk(userConfigHome) + L"\\Quillon";
  // A failure to create it shows later, as for any folder that cannot be written.
  CreateFolder(base);
  CreateFolder(base + L"\\ConfigFile");
  return userConfigHome + "\\Quillon\\ConfigFile";
}

bool CreateDirectoryOneLevel(const std::string& path) { return CreateFolder(WideFromGbk(path)); }
