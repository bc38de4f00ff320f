// Names on Windows: GBK inside, UTF-16 to the system, so a folder with
// Chinese characters works on any Windows; device names are no files.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include "platform/win32/windows_api.h"

#include <cerrno>
#include <string>

#include "platform/profile.h"
#include "platform/win32/wide_text.h"
#include "support/temp_folder.h"

TEST(Win32Files, DeviceNamesAndFoldersAreNoFiles) {
  TempFolder dir("names");
  ASSERT_FALSE(dir.path.empty());
  for (const std::string& path : {dir.path, std::string("NUL"), std::string("COM1"), dir / "nul",
                                  std::string("\\\\.\\COM12"), std::string("\\\\.\\pipe\\quillon")}) {
    int fd = 7;
    EXPECT_EQ(OpenRegularFile(path, O_RDONLY, &fd), MakeSysError(SysStep::kRead, EINVAL)) << path;
    EXPECT_EQ(fd, -1);
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", path)) << path;
  }
  int fd = -1;
  EXPECT_EQ(OpenRegularFile(dir / "missing.ini", O_RDONLY, &fd), MakeSysError(SysStep::kRead, ENOENT));
}

TEST(Win32Files, ChineseFolderAndFileNamesReachTheSystemAsTheirCharacters) {
  TempFolder dir("chinese");
  ASSERT_FALSE(dir.path.empty());
  const std::string folder = dir / "配置文件";
  ASSERT_TRUE(CreateDirectoryW((WideFromGbk(dir.path) + L"\\\u914D\u7F6E\u6587\u4EF6").c_str(), nullptr));
  const std::string ini = folder + "/串口命令.ini";
  ASSERT_TRUE(WritePrivateProfileString("串口命令", "Command0", "AT", ini));
  EXPECT_EQ(GetPrivateProfileString("串口命令", "Command0", "", 80, ini), "AT");
  // The file exists under its UTF-16 name, so Explorer shows it right.
  const std::wstring wide = WideFromGbk(dir.path) + L"\\\u914D\u7F6E\u6587\u4EF6\\\u4E32\u53E3\u547D\u4EE4.ini";
  EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  int fd = -1;
  EXPECT_FALSE(OpenRegularFile(ini, O_RDONLY, &fd).Failed());
  if (fd >= 0) _close(fd);
}
