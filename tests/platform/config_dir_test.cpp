#include "platform/config_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

TEST(ConfigDir, LiesBesideTheExecutableUnlessOverridden) {
  EXPECT_EQ(ConfigDir(), ExecutableDir() + "/ConfigFile");
  SetConfigDirOverride("/tmp/elsewhere");
  EXPECT_EQ(ConfigDir(), "/tmp/elsewhere");
  SetConfigDirOverride("");
  EXPECT_EQ(ConfigDir(), ExecutableDir() + "/ConfigFile");
}

TEST(ConfigDir, CreatesOneLevelAndAcceptsAnExistingFolder) {
  char pattern[] = "/tmp/quillon-dir-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string base = pattern;
  EXPECT_TRUE(CreateDirectoryOneLevel(base + "/ConfigFile"));
  EXPECT_TRUE(CreateDirectoryOneLevel(base + "/ConfigFile"));
  EXPECT_FALSE(CreateDirectoryOneLevel(base + "/missing/ConfigFile"));
  rmdir((base + "/ConfigFile").c_str());
  rmdir(base.c_str());
}
