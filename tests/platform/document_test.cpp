#include "platform/document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/temp_folder.h"
#include "support/watchdog.h"

namespace {

class CountingDocument : public CDocument {
 public:
  void DeleteContents() override { ++m_nDeleted; }
  int m_nDeleted = 0;
};

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_dir.path.empty()); }
  TempFolder m_dir{"document"};
};

TEST_F(DocumentTest, SaveWritesAnEmptyFileAndOpenRestoresNothing) {
  const std::string path = m_dir / "saved.dat";
  std::FILE* old = std::fopen(path.c_str(), "w");
  ASSERT_NE(old, nullptr);
  std::fputs("left over", old);
  std::fclose(old);

  CountingDocument doc;
  doc.SetModifiedFlag();
  ASSERT_EQ(doc.OnSaveDocument(path), 1);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(doc.GetPathName(), path);
  EXPECT_EQ(doc.GetTitle(), "saved.dat");
  EXPECT_EQ(doc.IsModified(), 0);

  CountingDocument reopened;
  ASSERT_EQ(reopened.OnOpenDocument(path), 1);
  EXPECT_EQ(reopened.m_nDeleted, 1);
  EXPECT_EQ(reopened.GetTitle(), "saved.dat");

  ASSERT_EQ(reopened.OnNewDocument(), 1);
  EXPECT_EQ(reopened.m_nDeleted, 2);
  EXPECT_EQ(reopened.GetPathName(), "");
}

TEST_F(DocumentTest, FailedOpenAndSaveChangeNothing) {
  CountingDocument doc;
  doc.SetTitle("串口转网口助手");
  EXPECT_EQ(doc.OnOpenDocument(m_dir / "missing.dat"), 0);
  EXPECT_EQ(doc.OnSaveDocument(m_dir / "no/such/folder.dat"), 0);
  // What is not a file is no document, and a FIFO must not block the caller.
  const std::string fifo = m_dir / "fifo.dat";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  WithWatchdog("opening a FIFO", [&] {
    for (const std::string& path : {fifo, m_dir.path, std::string("/dev/zero")}) {
      EXPECT_EQ(doc.OnOpenDocument(path), 0) << path;
      EXPECT_EQ(doc.OnSaveDocument(path), 0) << path;
    }
  });
  EXPECT_EQ(doc.m_nDeleted, 0);
  EXPECT_EQ(doc.GetTitle(), "串口转网口助手");
  EXPECT_EQ(doc.GetPathName(), "");
}

}  // namespace
