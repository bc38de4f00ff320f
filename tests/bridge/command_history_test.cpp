#include "bridge/command_history.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/config_dir.h"
#include "platform/path_name.h"
#include "platform/profile.h"
#include "support/config_dir_override.h"
#include "support/temp_folder.h"

namespace {

class CommandHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_dir.path.empty());
    m_path = CommandHistoryPath();
  }

  void Store(const std::vector<std::string>& commands) {
    std::string text = "[串口命令]\r\n";
    for (size_t n = 0; n < commands.size(); ++n) text += "Command" + std::to_string(n) + "=" + commands[n] + "\r\n";
    std::ofstream(m_path, std::ios::binary) << text;
  }
  // The commands as the console lists them.
  std::vector<std::string> Listed() {
    CCommandSlots slots;
    LoadCommandHistory(slots, m_path);
    std::vector<std::string> out;
    for (const std::string& slot : slots) {
      if (!slot.empty()) out.push_back(slot);
    }
    return out;
  }
  std::string Raw(const std::string& key) { return GetPrivateProfileString("串口命令", key, "<none>", 200, m_path); }
  ino_t Inode() {
    struct stat st {};
    return stat(m_path.c_str(), &st) == 0 ? st.st_ino : 0;
  }

  TempFolder m_dir{"history"};
  ScopedConfigDir m_configDir{m_dir.path};
  std::string m_path;
};

using Commands = std::vector<std::string>;

TEST_F(CommandHistoryTest, FileSectionAndKeysAreSpelledExactly) {
  // Written by hand, byte for byte: ConfigFile/CMDConfigure.ini, the section
  // 串口命令 in GBK, the keys Command0 to Command9.
  const std::string path = m_dir / "CMDConfigure.ini";
  EXPECT_EQ(CommandHistoryPath(), path);
  SetConfigDirOverride("");
  const std::string installed = CommandHistoryPath();
  SetConfigDirOverride(m_dir.path);
  EXPECT_EQ(PathFileName(installed), "CMDConfigure.ini");
  EXPECT_EQ(PathFileName(PathFolder(installed)), "ConfigFile");

  const std::string section = "[\xB4\xAE\xBF\xDA\xC3\xFC\xC1\xEE]\r\n";
  RememberCommandInHistory("AT", path);
  std::string expected = section + "Command0=AT\r\n";
  for (int n = 1; n < 10; ++n) expected += "Command" + std::to_string(n) + "=\r\n";
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ(all.str(), expected);

  std::ofstream(path, std::ios::binary) << section << "Command0=a\r\nCommand1=b\r\n";
  EXPECT_EQ(Listed(), (Commands{"a", "b"}));
}

TEST_F(CommandHistoryTest, MovesASentCommandToTheFront) {
  Store({"a", "b", "c"});
  RememberCommandInHistory("b", m_path);
  EXPECT_EQ(Listed(), (Commands{"b", "a", "c"}));

  // Already the most recent: sent, but the file is not rewritten.
  const ino_t before = Inode();
  RememberCommandInHistory("b", m_path);
  EXPECT_EQ(Inode(), before);

  RememberCommandInHistory("d", m_path);
  EXPECT_EQ(Listed(), (Commands{"d", "b", "a", "c"}));
  // All ten keys are written, the empty ones with empty values.
  EXPECT_EQ(Raw("Command9"), "");
}

TEST_F(CommandHistoryTest, KeepsTenCommands) {
  Commands ten;
  for (int n = 0; n < 10; ++n) ten.push_back("cmd" + std::to_string(n));
  Store(ten);
  CCommandSlots slots;
  EXPECT_EQ(LoadCommandHistory(slots, m_path), 1);

  RememberCommandInHistory("new", m_path);
  Commands expected{"new"};
  expected.insert(expected.end(), ten.begin(), ten.end() - 1);
  EXPECT_EQ(Listed(), expected);

  // The oldest moves to the front; nothing drops out.
  RememberCommandInHistory("cmd8", m_path);
  expected = {"cmd8", "new", "cmd0", "cmd1", "cmd2", "cmd3", "cmd4", "cmd5", "cmd6", "cmd7"};
  EXPECT_EQ(Listed(), expected);
}

TEST_F(CommandHistoryTest, TheListEndsAtTheFirstEmptyKey) {
  std::ofstream(m_path, std::ios::binary) << "[串口命令]\r\nCommand0=AT\r\nCommand1=设置\r\nCommand2=c\r\n"
                                             "Command3=\r\nCommand4=hidden\r\n";
  CCommandSlots slots;
  slots.fill("untouched");
  EXPECT_EQ(LoadCommandHistory(slots, m_path), 0);
  EXPECT_EQ(slots[0], "AT");
  EXPECT_EQ(slots[1], "设置");
  EXPECT_EQ(slots[2], "c");
  EXPECT_EQ(slots[3], "untouched");
  EXPECT_EQ(slots[4], "untouched");

  // A send rewrites the keys behind the end of the list as empty.
  RememberCommandInHistory("d", m_path);
  EXPECT_EQ(Listed(), (Commands{"d", "AT", "设置", "c"}));
  EXPECT_EQ(Raw("Command4"), "");
}

TEST_F(CommandHistoryTest, AnEmptyCommandNeverHidesTheList) {
  RememberCommandInHistory("", m_path);
  EXPECT_NE(access(m_path.c_str(), F_OK), 0) << "nothing to store, no file";

  Store({"a", "b"});
  for (const char* empty : {"", "   ", "\"\"", "\r\n", "\nAT"}) RememberCommandInHistory(empty, m_path);
  EXPECT_EQ(Listed(), (Commands{"a", "b"}));
}

TEST_F(CommandHistoryTest, StoresOnlyTheFirstLineOfACommand) {
  Store({"a"});
  RememberCommandInHistory("AT+X\r\n[evil]\r\nCommand0=bad", m_path);
  EXPECT_EQ(Listed(), (Commands{"AT+X", "a"}));
  std::ifstream in(m_path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ(all.str().find("evil"), std::string::npos);
}

TEST_F(CommandHistoryTest, ComparesCommandsAsTheyReadBack) {
  // A command longer than a read yields is stored whole but reads back cut:
  // sent again, it must not enter the list a second time.
  const std::string longCommand = "AT+" + std::string(97, 'L');
  Store({"a"});
  RememberCommandInHistory(longCommand, m_path);
  RememberCommandInHistory(longCommand, m_path);
  EXPECT_EQ(Listed(), (Commands{longCommand.substr(0, 79), "a"}));
  EXPECT_EQ(Raw("Command0"), longCommand);  // the file keeps the whole text

  RememberCommandInHistory("a", m_path);
  RememberCommandInHistory(longCommand, m_path);
  EXPECT_EQ(Listed(), (Commands{longCommand.substr(0, 79), "a"}));

  // Blanks around a command are dropped on reading, so " a " is "a".
  RememberCommandInHistory(" a ", m_path);
  EXPECT_EQ(Listed(), (Commands{"a", longCommand.substr(0, 79)}));
}

TEST_F(CommandHistoryTest, AMissingFolderGivesAnEmptyListAndWritesNothing) {
  const std::string missing = m_dir / "gone/CMDConfigure.ini";
  CCommandSlots slots;
  EXPECT_EQ(LoadCommandHistory(slots, missing), 0);
  EXPECT_EQ(slots[0], "");
  EXPECT_EQ(RememberCommandInHistory("AT", missing), 1);
  EXPECT_NE(access((m_dir / "gone").c_str(), F_OK), 0);
}

}  // namespace
