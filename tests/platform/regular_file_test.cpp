#include "platform/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/temp_folder.h"

TEST(RegularFile, OpensFilesAndRefusesEverythingElseWithoutBlocking) {
  TempFolder dir("regular");
  ASSERT_FALSE(dir.path.empty());
  ASSERT_TRUE(dir.WriteFile("a.ini", "x"));
  const std::string fifo = dir / "fifo.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  int fd = -1;
  ASSERT_EQ(OpenRegularFile(dir / "a.ini", O_RDONLY, &fd), SysError());
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "handed over blocking";
  EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  close(fd);

  for (const std::string& path : {fifo, dir.path, std::string("/dev/zero"), std::string("/dev/null")}) {
    EXPECT_EQ(OpenRegularFile(path, O_RDONLY, &fd), (SysError{SysStep::kRead, EINVAL})) << path;
    EXPECT_EQ(fd, -1) << path;
    EXPECT_EQ(OpenRegularFile(path, O_WRONLY | O_CREAT, &fd, 0600), (SysError{SysStep::kCreate, EINVAL})) << path;
    EXPECT_EQ(fd, -1) << path;
  }
  EXPECT_EQ(OpenRegularFile(dir / "missing.ini", O_RDONLY, &fd), (SysError{SysStep::kRead, ENOENT}));
  EXPECT_EQ(OpenRegularFile(dir / "new.ini", O_WRONLY | O_CREAT, &fd, 0600), SysError());
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);
}
