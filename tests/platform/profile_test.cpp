#include "platform/profile.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/watchdog.h"

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_dir.path.empty()); }

  void Put(const std::string& bytes) {
    std::ofstream out(m_path, std::ios::binary);
    out << bytes;
  }
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
  std::string Read(const std::string& section, const std::string& key, const std::string& def = "",
                   size_t size = 80) {
    return GetPrivateProfileString(section, key, def, size, m_path);
  }

  TempFolder m_dir{"profile"};
  std::string m_path = m_dir / "CMDConfigure.ini";
};

// As Windows writes it: GBK bytes, CR LF, the console's section.
const char kWindowsFile[] =
    "[串口命令]\r\n"
    "Command0=AT+CSQ\r\n"
    "Command1=设置 波特率\r\n"
    "Command2=\r\n"
    "Command3=$GPGGA,1\r\n";

TEST_F(ProfileTest, ReadsAFileWrittenByWindowsExactly) {
  Put(kWindowsFile);
  EXPECT_EQ(Read("串口命令", "Command0"), "AT+CSQ");
  EXPECT_EQ(Read("串口命令", "Command1"), "设置 波特率");
  EXPECT_EQ(std::string("设置"), std::string("\xC9\xE8\xD6\xC3"));
  EXPECT_EQ(Read("串口命令", "Command3"), "$GPGGA,1");
  // Present but empty is empty, not the default.
  EXPECT_EQ(Read("串口命令", "Command2", "dflt"), "");
  // Missing key, section or file give the default without its trailing blanks.
  EXPECT_EQ(Read("串口命令", "Command4", "dflt  "), "dflt");
  EXPECT_EQ(Read("other", "Command0", " d "), " d");
  EXPECT_EQ(GetPrivateProfileString("串口命令", "Command0", "none", 80, m_dir / "absent.ini"), "none");
}

TEST_F(ProfileTest, MatchesNamesIgnoringAsciiCaseAndBlanksButNotDoubleByteTrailBytes) {
  // 0xB9 0x41 and 0xB9 0x61 are two different characters whose trail bytes
  // happen to be 'A' and 'a'.
  Put("  [ sEcTiOn ]  \r\n"
      "  KEY  =  value with  inner blanks  \r\n"
      "\xB9\x41=upper\r\n"
      "\xB9\x61=lower\r\n");
  EXPECT_EQ(Read("section", "key"), "value with  inner blanks");
  EXPECT_EQ(Read(" SECTION ", " Key "), "value with  inner blanks");
  EXPECT_EQ(Read("section", "\xB9\x61"), "lower");
  EXPECT_EQ(Read("section", "\xB9\x41"), "upper");
}

TEST_F(ProfileTest, StripsMatchingQuotesOnly) {
  Put("[s]\nd=\"quoted \"\nsgl='x'\nodd=\"open\nmix=\"a'\none=\"\nempty=\"\"\n"
      ";c=comment\nnoequals\n");
  EXPECT_EQ(Read("s", "d"), "quoted ");
  EXPECT_EQ(Read("s", "sgl"), "x");
  EXPECT_EQ(Read("s", "odd"), "\"open");
  EXPECT_EQ(Read("s", "mix"), "\"a'");
  EXPECT_EQ(Read("s", "one"), "\"");
  EXPECT_EQ(Read("s", "empty", "dflt"), "");
  EXPECT_EQ(Read("s", ";c", "dflt"), "dflt");
  EXPECT_EQ(Read("s", "noequals", "dflt"), "dflt");
  // The same rules, for a value about to be written.
  EXPECT_EQ(ProfileValueAsRead(" \"quoted \" ", 80), "quoted ");
  EXPECT_EQ(ProfileValueAsRead(std::string(90, 'x'), 80), std::string(79, 'x'));
}

TEST_F(ProfileTest, ABufferOfNBytesYieldsAtMostNMinusOneWithoutSplittingACharacter) {
  const std::string ascii(100, 'x');
  std::string chinese;
  for (int i = 0; i < 45; ++i) chinese += "串";  // 90 bytes
  Put("[s]\r\na=" + ascii + "\r\nb=" + chinese + "\r\nc=x" + chinese + "\r\n");
  EXPECT_EQ(Read("s", "a"), std::string(79, 'x'));
  EXPECT_EQ(Read("s", "b"), chinese.substr(0, 78));  // 39 whole characters
  EXPECT_EQ(Read("s", "c"), "x" + chinese.substr(0, 78));
  EXPECT_EQ(Read("s", "a", "", 1), "");
  EXPECT_EQ(Read("s", "a", "", 0), "");
  EXPECT_EQ(Read("s", "missing", std::string(100, 'd')), std::string(79, 'd'));
}

TEST_F(ProfileTest, FirstSectionAndFirstKeyOfANameCount) {
  Put("[s]\r\nk=1\r\nK=2\r\n[t]\r\nk=3\r\n[S]\r\nk=4\r\nonly=5\r\n");
  EXPECT_EQ(Read("s", "k"), "1");
  EXPECT_EQ(Read("t", "k"), "3");
  EXPECT_EQ(Read("s", "only", "dflt"), "dflt");
}

TEST_F(ProfileTest, WritingKeepsEveryOtherLineAndReplacesInPlace) {
  Put("; written by hand\n"
      "[General]\n"
      "Name = first  \n"
      "\n"
      "[串口命令]\n"
      "command0=old\n"
      "; keep me\n"
      "Command1=b\n"
      "\n"
      "[Last]\n"
      "x=1");
  ASSERT_TRUE(WritePrivateProfileString("串口命令", "Command0", "新的", m_path));
  EXPECT_EQ(Get(),
            "; written by hand\r\n"
            "[General]\r\n"
            "Name = first  \r\n"
            "\r\n"
            "[串口命令]\r\n"
            "command0=新的\r\n"
            "; keep me\r\n"
            "Command1=b\r\n"
            "\r\n"
            "[Last]\r\n"
            "x=1\r\n");

  // A new key goes after the section's last line, before the blank line that
  // separates it from the next section; a new section goes at the end.
  ASSERT_TRUE(WritePrivateProfileString("串口命令", "Command2", "c", m_path));
  ASSERT_TRUE(WritePrivateProfileString("New", "k", " spaced ", m_path));
  EXPECT_EQ(Get(),
            "; written by hand\r\n"
            "[General]\r\n"
            "Name = first  \r\n"
            "\r\n"
            "[串口命令]\r\n"
            "command0=新的\r\n"
            "; keep me\r\n"
            "Command1=b\r\n"
            "Command2=c\r\n"
            "\r\n"
            "[Last]\r\n"
            "x=1\r\n"
            "[New]\r\n"
            "k= spaced \r\n");
  EXPECT_EQ(Read("new", "K"), "spaced");
  EXPECT_EQ(Entries(), std::vector<std::string>{"CMDConfigure.ini"});  // no temporary file left
}

TEST_F(ProfileTest, CreatesTheFileOnlyWhenItsFolderExists) {
  for (int n = 0; n < 10; ++n) {
    ASSERT_TRUE(WritePrivateProfileString("串口命令", "Command" + std::to_string(n),
                                          n < 2 ? "AT" + std::to_string(n) : "", m_path));
  }
  std::string expected = "[串口命令]\r\nCommand0=AT0\r\nCommand1=AT1\r\n";
  for (int n = 2; n < 10; ++n) expected += "Command" + std::to_string(n) + "=\r\n";
  EXPECT_EQ(Get(), expected);
  EXPECT_EQ(Read("串口命令", "Command1"), "AT1");

  EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", m_dir / "missing/CMDConfigure.ini"));
  EXPECT_NE(access((m_dir / "missing").c_str(), F_OK), 0);
}

TEST_F(ProfileTest, RefusesNamesItCouldNotFindAgain) {
  Put("[s]\r\nk=1\r\n");
  EXPECT_FALSE(WritePrivateProfileString("s", "k", "a\r\n[evil]", m_path));
  EXPECT_FALSE(WritePrivateProfileString("s\n", "k", "a", m_path));
  EXPECT_FALSE(WritePrivateProfileString("s", "k\r", "a", m_path));
  EXPECT_FALSE(WritePrivateProfileString("", "k", "a", m_path));
  EXPECT_FALSE(WritePrivateProfileString("s", " ", "a", m_path));
  // 串 and a lone lead byte: "]" would become its trail byte.
  EXPECT_FALSE(WritePrivateProfileString(std::string("\xB4\xAE\xB4", 3), "k", "a", m_path));
  EXPECT_FALSE(WritePrivateProfileString("s\xC1 ", "k", "a", m_path));
  for (const char* key : {"a=b", "=", "[k]", " ;k", ";"}) {
    EXPECT_FALSE(WritePrivateProfileString("s", key, "a", m_path)) << key;
  }
  EXPECT_EQ(Get(), "[s]\r\nk=1\r\n");
  // Brackets and a lead byte followed by its trail are names like any other.
  ASSERT_TRUE(WritePrivateProfileString("a]b", "k]", "x", m_path));
  ASSERT_TRUE(WritePrivateProfileString(std::string("\xB4]", 2), "k", "y", m_path));
  EXPECT_EQ(Read("a]b", "k]"), "x");
  EXPECT_EQ(Read(std::string("\xB4]", 2), "k"), "y");
  Put("[s]\r\nk=1\r\n");

  ASSERT_TRUE(WritePrivateProfileString("S", "K", "2", m_path));
  EXPECT_EQ(Get(), "[s]\r\nk=2\r\n");
}

TEST_F(ProfileTest, LeavesAReadOnlyFileAsItIs) {
  Put("[s]\r\nk=1\r\n");
  ASSERT_EQ(chmod(m_path.c_str(), 0444), 0);
  EXPECT_FALSE(WritePrivateProfileString("s", "k", "2", m_path));
  EXPECT_FALSE(WritePrivateProfileKeys("t", {{"a", "1"}}, m_path));
  EXPECT_EQ(Get(), "[s]\r\nk=1\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"CMDConfigure.ini"});
  ASSERT_EQ(chmod(m_path.c_str(), 0644), 0);
  EXPECT_TRUE(WritePrivateProfileString("s", "k", "2", m_path));
}

// A file past the size bound is not read at all, so never rewritten either
// (a rewrite would keep only what was read).
TEST_F(ProfileTest, AFileLargerThanTheBoundIsNeitherReadNorRewritten) {
  std::string content = "[s]\r\nk=1\r\n";
  content += std::string(PROFILE_MAX_BYTES - content.size() - 2, ';') + "\r\n";
  Put(content);
  EXPECT_EQ(Read("s", "k"), "1") << "exactly the bound";
  Put(content + ";");
  EXPECT_EQ(Read("s", "k", "d"), "d");
  std::string value;
  EXPECT_EQ(ReadPrivateProfileValue("s", "k", m_path, &value), (SysError{SysStep::kRead, EFBIG}));
  EXPECT_FALSE(WritePrivateProfileString("s", "k", "2", m_path));
  EXPECT_EQ(Get().size(), PROFILE_MAX_BYTES + 1);
}

TEST_F(ProfileTest, WritesSeveralKeysInOneRewriteOrNone) {
  Put("[s]\r\nb=old\r\n");
  EXPECT_FALSE(WritePrivateProfileKeys("s", {{"a", "1"}, {"b", "2\n"}}, m_path));
  EXPECT_EQ(Get(), "[s]\r\nb=old\r\n");
  ASSERT_TRUE(WritePrivateProfileKeys("s", {{"a", "1"}, {"B", "2"}, {"a", "3"}}, m_path));
  EXPECT_EQ(Get(), "[s]\r\nb=2\r\na=3\r\n");
}

}  // namespace
