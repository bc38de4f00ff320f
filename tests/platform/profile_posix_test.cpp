// What the INI profile keeps of a file's mode and where it never writes:
// POSIX modes, links and FIFOs.
#include "platform/profile.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/watchdog.h"

namespace {

class ProfilePosixTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_dir.path.empty()); }

  std::string Get() const {
    std::ifstream in(m_path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(m_dir.path.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(d);
    }
    return names;
  }

  TempFolder m_dir{"profile"};
  std::string m_path = m_dir / "CMDConfigure.ini";
};

TEST_F(ProfilePosixTest, ANewFileGetsTheUsualModeAndARewrittenOneKeepsItsOwn) {
  ASSERT_TRUE(WritePrivateProfileString("s", "k", "1", m_path));
  struct stat st {};
  ASSERT_EQ(stat(m_path.c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

  ASSERT_EQ(chmod(m_path.c_str(), 0640), 0);
  ASSERT_TRUE(WritePrivateProfileString("S", "K", "2", m_path));
  EXPECT_EQ(Get(), "[s]\r\nk=2\r\n");
  ASSERT_EQ(stat(m_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A link in the history file's place (put there by whoever shares the
// folder) would choose the file we rewrite: it is refused, and its target
// keeps its bytes and its inode.
TEST_F(ProfilePosixTest, NeverWritesThroughASymbolicLinkNorReplacesAnUnreadableFile) {
  const std::string real = m_dir / "real.ini";
  {
    std::ofstream out(real, std::ios::binary);
    out << "root:x:0:0\n";
  }
  struct stat before {}, st {};
  ASSERT_EQ(stat(real.c_str(), &before), 0);
  ASSERT_EQ(symlink("real.ini", m_path.c_str()), 0);
  EXPECT_FALSE(WritePrivateProfileString("s", "k", "2", m_path));
  ASSERT_EQ(lstat(m_path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, before.st_ino);
  EXPECT_EQ(Get(), "root:x:0:0\n");
  EXPECT_EQ(Entries().size(), 2u) << "no temporary left behind";

  // A folder or a FIFO in the file's place is no file: it reads as missing,
  // without waiting for a writer, and is never replaced.
  const std::string folder = m_dir / "folder.ini";
  const std::string fifo = m_dir / "fifo.ini";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  WithWatchdog("reading and writing a FIFO", [&] {
    for (const std::string& path : {folder, fifo}) {
      EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", path)) << path;
      EXPECT_EQ(GetPrivateProfileString("s", "k", "d", 80, path), "d") << path;
    }
  });
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
