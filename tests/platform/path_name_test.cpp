#include "platform/path_name.h"

#include <gtest/gtest.h>

TEST(PathName, CutsAtTheLastSlash) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  for (const Case& c : {Case{"/dev/ttyUSB0", "/dev", "ttyUSB0"}, Case{"/ttyS0", "/", "ttyS0"},
                        Case{"ports.ini", ".", "ports.ini"}, Case{"a/b/", "a/b", ""}, Case{"", ".", ""}}) {
    EXPECT_EQ(PathFolder(c.path), c.folder) << c.path;
    EXPECT_EQ(PathFileName(c.path), c.name) << c.path;
  }
}
