#include "platform/archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/temp_folder.h"
#include "support/watchdog.h"

// A FIFO in the file's place is refused at once, never waited on.
TEST(ArchivePosix, AFifoIsNoArchiveFile) {
  TempFolder dir("archive");
  ASSERT_FALSE(dir.path.empty());
  const std::string fifo = dir / "fifo.bin";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  CArchive out;
  out.WriteString("x");
  CArchive in(CArchive::load);
  WithWatchdog("a FIFO as an archive file", [&] {
    EXPECT_EQ(in.LoadFile(fifo), 0);
    EXPECT_EQ(out.SaveFile(fifo), 0);
  });
}
