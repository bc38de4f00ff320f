#include "platform/config_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "support/temp_folder.h"

namespace {

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideFromGbk(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

// Beside the executable when that folder takes files (a portable copy);
// otherwise under the user's application data, created on the way.
TEST(Win32ConfigDir, BesideTheProgramElseUnderAppData) {
  TempFolder base("config");
  ASSERT_FALSE(base.path.empty());
  const std::string exe = base / "程序";
  const std::string appData = base / "AppData";
  ASSERT_TRUE(CreateDirectoryOneLevel(exe));
  ASSERT_TRUE(CreateDirectoryOneLevel(appData));

  const std::string beside = ChooseConfigDir(exe, appData, "");
  EXPECT_EQ(beside, exe + "\\ConfigFile");
  EXPECT_TRUE(IsFolder(beside));

  const std::string missing = base / "no/such/folder";
  const std::string roaming = ChooseConfigDir(missing, appData, "");
  EXPECT_EQ(roaming, appData + "\\Quillon\\ConfigFile");
  EXPECT_TRUE(IsFolder(roaming));
  EXPECT_FALSE(IsFolder(missing));
  EXPECT_EQ(ChooseConfigDir(missing, "", ""), "") << "no folder at all rather than a shared one";

  EXPECT_NE(ExecutableDir(), ".");
  EXPECT_TRUE(IsFolder(ExecutableDir()));
}
