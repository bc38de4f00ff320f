#include "ui/command_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge/quillon_doc.h"
#include "platform/profile.h"
#include "platform/window/controls.h"
#include "platform/window/window_test_support.h"
#include "support/config_dir_override.h"
#include "support/pty_pair.h"
#include "support/serial_settings.h"
#include "support/temp_folder.h"

namespace {

// The document with its console, in a configuration folder of the test's own.
class CommandConsole : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_FALSE(m_folder.path.empty());
    m_doc = std::make_unique<CQuillonDoc>();
    ASSERT_EQ(m_doc->OnNewDocument(), 1);
    m_dialog = std::make_unique<CCommandDlg>(m_doc->GetCommandConsole());
    m_historyPath = CommandHistoryPath();
  }
  void TearDown() override {
    m_dialog.reset();
    m_doc.reset();
    WindowTest::TearDown();
  }

  // Opens the document's serial port on a fresh pty; false (and the test
  // skipped) without one.
  bool OpenPort() {
    std::string reason;
    if (!m_pty.Open(&reason)) return false;
    EXPECT_EQ(m_doc->OpenSerial(SerialSettings(m_pty.path)), 1);
    return true;
  }

  // Opens the console as the main form does and runs body inside it.
  int RunConsole(const std::function<void(QDialog&)>& body) {
    m_doc->SetCommandOpen(true);
    CScopedModalHook hook(body);
    return Dialog().DoModal();
  }

  CCommandConsole& Console() { return m_doc->GetCommandConsole(); }
  CCommandDlg& Dialog() { return *m_dialog; }
  QComboBox* Combo() { return WidgetAs<QComboBox>(*Dialog().GetDlgItem(IDC_COMMAND)); }
  CEdit* Transcript() { return Dialog().GetDlgItemAs<CEdit>(IDC_TRANSCRIPT); }
  QWidget* Widget(int id) { return WidgetOf(*Dialog().GetDlgItem(id)); }

  TempFolder m_folder{"console"};
  ScopedConfigDir m_configDir{m_folder / "ConfigFile"};
  std::string m_historyPath;
  std::unique_ptr<CQuillonDoc> m_doc;
  std::unique_ptr<CCommandDlg> m_dialog;
  PtyPair m_pty;
};

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

TEST_F(CommandConsole, OpensWithItsControlsAndTheHistoryNewestFirst) {
  std::ofstream(m_historyPath, std::ios::binary)
      << "[串口命令]\r\nCommand0=AT+GMR\r\nCommand1=设置\r\nCommand2=ATI\r\nCommand3=\r\nCommand4=hidden\r\n";
  RunConsole([&](QDialog& dialog) {
    EXPECT_EQ(QStringToGbk(dialog.windowTitle()), "串口命令");
    EXPECT_EQ(Dialog().GetDlgItemText(IDC_SEND), "发送");
    EXPECT_EQ(Dialog().GetDlgItemText(IDCANCEL), "退出到主窗口");
    EXPECT_EQ(Dialog().GetDefID(), IDC_SEND);
    auto* transcript = WidgetAs<QPlainTextEdit>(*Dialog().GetDlgItem(IDC_TRANSCRIPT));
    ASSERT_NE(transcript, nullptr);
    EXPECT_TRUE(transcript->isReadOnly());

    QComboBox* combo = Combo();
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(QStringToGbk(combo->itemText(i)));
    EXPECT_EQ(items, (std::vector<std::string>{"AT+GMR", "设置", "ATI"}));
    EXPECT_EQ(Dialog().GetDlgItemText(IDC_COMMAND), "") << "the edit field starts empty";
    // Every fixed text shows whole, and so does a history entry in the field.
    EXPECT_EQ(ClippedTexts(&dialog), std::vector<std::string>{});
    combo->setEditText(combo->itemText(0));
    EXPECT_EQ(ClippedTexts(&dialog), std::vector<std::string>{});
    QTest::mouseClick(Widget(IDCANCEL), Qt::LeftButton);
  });
}

TEST_F(CommandConsole, SendsTheCommandWithCrLfToThePortAndRemembersIt) {
  if (!OpenPort()) GTEST_SKIP() << "no pseudo-terminal available";
  RunConsole([&](QDialog&) {
    QLineEdit* edit = Combo()->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("AT"));
    QTest::keyClick(edit, Qt::Key_Return);  // Enter sends
    EXPECT_EQ(m_pty.ReadMaster(4, 5000), Bytes({0x41, 0x54, 0x0D, 0x0A}));
    EXPECT_EQ(Dialog().GetDlgItemText(IDC_COMMAND), "AT") << "the text stays for another send";

    // An empty command is a bare CR LF on the wire and stays out of the history.
    edit->clear();
    QTest::mouseClick(Widget(IDC_SEND), Qt::LeftButton);
    EXPECT_EQ(m_pty.ReadMaster(2, 5000), Bytes({0x0D, 0x0A}));
    QTest::keyClick(edit, Qt::Key_Escape);
  });
  CCommandSlots history;
  EXPECT_EQ(Console().LoadCommands(history), 0);
  EXPECT_EQ(history[0], "AT");
  EXPECT_EQ(history[1], "");
  m_doc->CloseSerial();
}

TEST_F(CommandConsole, ShowsReceivedBytesWithEachDollarSignOnANewLineAlwaysAtTheEnd) {
  if (!OpenPort()) GTEST_SKIP() << "no pseudo-terminal available";
  const std::vector<std::uint8_t> sentence = Bytes({0x24, 0x47, 0x50, 0x0D, 0x0A, 0x24, 0x41});
  bool shown = false;
  bool appended = false;
  RunConsole([&](QDialog&) {
    ASSERT_TRUE(m_pty.WriteMaster(sentence.data(), sentence.size()));
    shown = WaitUntil([&] { return Transcript()->GetWindowText() == "\r\n$GP..\r\n$A"; }, 20000, &RunEventsMs);

    // The user clicks into the text: the device's answer still goes at the end.
    auto* transcript = WidgetAs<QPlainTextEdit>(*Dialog().GetDlgItem(IDC_TRANSCRIPT));
    QTest::mouseClick(transcript->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    Transcript()->SetSel(1, 3);
    const std::vector<std::uint8_t> more = Bytes({0x4F, 0x4B, 0x00, 0xFF, 0x7F});
    ASSERT_TRUE(m_pty.WriteMaster(more.data(), more.size()));
    appended = WaitUntil([&] { return Transcript()->GetWindowText() == "\r\n$GP..\r\n$AOK..\x7F"; }, 20000,
                         &RunEventsMs);
    QTest::mouseClick(Widget(IDCANCEL), Qt::LeftButton);
  });
  EXPECT_TRUE(shown);
  EXPECT_TRUE(appended);
  EXPECT_EQ(Console().GetShownBytes(), 12u);

  // Bytes that arrive while the console is closed are not counted.
  ASSERT_TRUE(m_pty.WriteMaster(sentence.data(), sentence.size()));
  ASSERT_TRUE(WaitUntil([&] { return m_doc->GetBytesReceived() == 19; }, 20000, &RunEventsMs));
  EXPECT_EQ(Console().GetShownBytes(), 12u);
  m_doc->CloseSerial();
}

TEST_F(CommandConsole, EachWayOfClosingClearsTheDocumentsFlag) {
  const std::vector<std::function<void(QDialog&)>> ways = {
      [&](QDialog&) { QTest::mouseClick(Widget(IDCANCEL), Qt::LeftButton); },
      [&](QDialog&) { QTest::keyClick(Combo()->lineEdit(), Qt::Key_Escape); },
      [&](QDialog& dialog) { dialog.close(); },
  };
  for (std::size_t i = 0; i < ways.size(); ++i) {
    int flagAfter = -1;
    bool closed = false;
    const int result = RunConsole([&](QDialog& dialog) {
      EXPECT_TRUE(m_doc->IsCommandOpen());
      // Asked to open again while it is up: it stays, and so does the flag
      // that feeds it bytes.
      EXPECT_EQ(Dialog().DoModal(), IDCANCEL);
      EXPECT_TRUE(dialog.isVisible());
      EXPECT_TRUE(m_doc->IsCommandOpen());
      ways[i](dialog);
      flagAfter = m_doc->IsCommandOpen();
      closed = !dialog.isVisible();
    });
    EXPECT_EQ(result, IDCANCEL) << "way " << i;
    EXPECT_EQ(flagAfter, 0) << "way " << i;
    EXPECT_TRUE(closed) << "way " << i;
    EXPECT_FALSE(Dialog().IsWindowCreated());
  }
}

}  // namespace
