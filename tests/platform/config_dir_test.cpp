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
