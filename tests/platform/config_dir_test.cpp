#include "platform/config_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/config_dir_override.h"
#include "support/temp_folder.h"

TEST(ConfigDir, LiesBesideTheExecutableUnlessOverridden) {
  EXPECT_EQ(ConfigDir(), ExecutableDir() + "/ConfigFile");
  {
    ScopedConfigDir elsewhere("/tmp/elsewhere");
    EXPECT_EQ(ConfigDir(), "/tmp/elsewhere");
  }
  EXPECT_EQ(ConfigDir(), ExecutableDir() + "/ConfigFile");
}

TEST(ConfigDir, CreatesOneLevelAndAcceptsAnExistingFolder) {
  TempFolder base("dir");
  ASSERT_FALSE(base.path.empty());
  EXPECT_TRUE(CreateDirectoryOneLevel(base / "ConfigFile"));
  EXPECT_TRUE(CreateDirectoryOneLevel(base / "ConfigFile"));
  EXPECT_FALSE(CreateDirectoryOneLevel(base / "missing/ConfigFile"));
}

// A build tree or a portable copy keeps its folder beside the executable; an
// executable in a folder it cannot write, or in a system folder, uses the
// user's configuration folder, created on first use.
TEST(ConfigDir, BesideTheExecutableWhenWritableElseInTheUsersConfigFolder) {
  TempFolder base("choose");
  ASSERT_FALSE(base.path.empty());
  ASSERT_EQ(mkdir((base / "portable").c_str(), 0755), 0);
  EXPECT_EQ(ChooseConfigDir(base / "portable", "", base / "home"), base / "portable/ConfigFile");
  struct stat st {};
  EXPECT_EQ(stat((base / "portable/ConfigFile").c_str(), &st), 0) << "created beside";
  EXPECT_EQ(ChooseConfigDir(base / "portable", "", base / "home"), base / "portable/ConfigFile") << "and kept";

  EXPECT_EQ(ChooseConfigDir("/usr/bin", "", base / "home"), base / "home/.config/quillon/ConfigFile");
  EXPECT_TRUE(S_ISDIR(stat((base / "home/.config/quillon/ConfigFile").c_str(), &st) == 0 ? st.st_mode : 0));
  EXPECT_EQ(ChooseConfigDir("/usr/bin", base / "xdg", base / "home"), base / "xdg/quillon/ConfigFile");
  EXPECT_EQ(ChooseConfigDir("/usr/bin", "relative/xdg", base / "home"), base / "home/.config/quillon/ConfigFile")
      << "a relative XDG_CONFIG_HOME is ignored";
  // A plain file where the folder would be: not usable beside.
  ASSERT_EQ(mkdir((base / "blocked").c_str(), 0755), 0);
  ASSERT_TRUE(base.WriteFile("blocked/ConfigFile", "x"));
  EXPECT_EQ(ChooseConfigDir(base / "blocked", base / "xdg", ""), base / "xdg/quillon/ConfigFile");
}

// A ConfigFile that is a link, or that others may write to, is someone
// else's say over our files: passed over for the user's own folder, and
// nothing is created where the link points. No home: no folder at all.
TEST(ConfigDir, PassesOverFoldersOthersControl) {
  TempFolder base("trust");
  ASSERT_FALSE(base.path.empty());
  ASSERT_EQ(mkdir((base / "portable").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((base / "elsewhere").c_str(), 0755), 0);
  ASSERT_EQ(symlink((base / "elsewhere").c_str(), (base / "portable/ConfigFile").c_str()), 0);
  EXPECT_EQ(ChooseConfigDir(base / "portable", base / "xdg", ""), base / "xdg/quillon/ConfigFile");
  struct stat st {};
  EXPECT_NE(stat((base / "elsewhere/quillon").c_str(), &st), 0);

  ASSERT_EQ(mkdir((base / "shared").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((base / "shared/ConfigFile").c_str(), 0755), 0);
  ASSERT_EQ(chmod((base / "shared/ConfigFile").c_str(), 0777), 0);
  EXPECT_EQ(ChooseConfigDir(base / "shared", base / "xdg", ""), base / "xdg/quillon/ConfigFile");
  ASSERT_EQ(chmod((base / "xdg/quillon/ConfigFile").c_str(), 0757), 0);
  EXPECT_EQ(ChooseConfigDir(base / "shared", base / "xdg", ""), "") << "its own folder too";

  // Ours, but in a folder where anybody may swap it for theirs.
  ASSERT_EQ(mkdir((base / "open").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((base / "open/ConfigFile").c_str(), 0755), 0);
  ASSERT_EQ(chmod((base / "open").c_str(), 0777), 0);
  EXPECT_EQ(ChooseConfigDir(base / "open", base / "xdg2", ""), base / "xdg2/quillon/ConfigFile");

  EXPECT_EQ(ChooseConfigDir("/usr/bin", "", ""), "") << "never under /tmp";
}
