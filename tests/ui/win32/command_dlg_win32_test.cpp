// The serial command console on the system's own controls: its template,
// the history newest first, the transcript fed on its timer, sending with
// Enter into the history, and each way of closing it.
#include "form_test_support_win32.h"

#include <fstream>

#include "bridge/command_history.h"

namespace {

class Win32Console : public Win32FormTest {
 protected:
  // Opens the console as "命令设置" does and runs body inside it.
  int RunConsole(const std::function<void(HWND)>& body) {
    m_doc->SetCommandOpen(true);
    CScopedWin32ModalHook hook(body);
    CCommandDlg dialog(m_doc->GetCommandConsole(), &m_view);
    m_dialog = &dialog;
    const int result = dialog.DoModal();
    m_dialog = nullptr;
    return result;
  }
  CCommandDlg& Dialog() { return *m_dialog; }
  HWND Control(int id) { return WindowOf(*Dialog().GetDlgItem(id)); }

  CCommandDlg* m_dialog = nullptr;
};

TEST_F(Win32Console, OpensWithItsControlsAndTheHistoryNewestFirst) {
  ASSERT_TRUE(m_folder.WriteFile("ConfigFile/CMDConfigure.ini", "[串口命令]\r\nCommand0=AT+GMR\r\nCommand1=设置\r\n"
                                                                "Command2=ATI\r\nCommand3=\r\nCommand4=hidden\r\n"));
  RunConsole([&](HWND dialog) {
    EXPECT_EQ(TextOf(dialog), "串口命令");
    EXPECT_FALSE(IsWindowEnabled(WindowOf(m_frame))) << "the main window takes no input meanwhile";
    EXPECT_EQ(Dialog().GetDlgItemText(IDC_SEND), "发送");
    EXPECT_EQ(Dialog().GetDlgItemText(IDCANCEL), "退出到主窗口");
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDC_SEND);
    EXPECT_TRUE(GetWindowLongW(Control(IDC_TRANSCRIPT), GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(GetWindowLongW(Control(IDC_COMMAND), GWL_STYLE) & 3, CBS_DROPDOWN);
    auto* combo = Dialog().GetDlgItemAs<CComboBox>(IDC_COMMAND);
    std::vector<std::string> items;
    for (int i = 0; i < combo->GetCount(); ++i) items.push_back(combo->GetLBText(i));
    EXPECT_EQ(items, (std::vector<std::string>{"AT+GMR", "设置", "ATI"}));
    EXPECT_EQ(Dialog().GetDlgItemText(IDC_COMMAND), "") << "the edit field starts empty";
    ClickControl(*Dialog().GetDlgItem(IDCANCEL));
  });
  EXPECT_TRUE(IsWindowEnabled(WindowOf(m_frame)));
}

TEST_F(Win32Console, ShowsReceivedBytesEachDollarOnANewLineAndRemembersWhatIsSent) {
  bool shown = false;
  RunConsole([&](HWND) {
    Feed(std::string("\x24GP\r\n\x24" "A", 7));
    shown = WaitFor([&] { return Dialog().GetDlgItemText(IDC_TRANSCRIPT) == "\r\n$GP..\r\n$A"; });
    // Typed and sent with Enter: without an open port nothing goes out, but
    // the command is in the history.
    Dialog().GetDlgItem(IDC_COMMAND)->SetFocus();
    TypeText("AT+X");
    PressKey(VK_RETURN);
    EXPECT_EQ(Dialog().GetDlgItemText(IDC_COMMAND), "AT+X") << "the text stays for another send";
    PressKey(VK_ESCAPE);
  });
  EXPECT_TRUE(shown) << "transcript never showed the bytes";
  CCommandSlots history;
  m_doc->GetCommandConsole().LoadCommands(history);
  EXPECT_EQ(history[0], "AT+X");
}

TEST_F(Win32Console, EachWayOfClosingClearsTheDocumentsFlag) {
  const std::vector<std::function<void(HWND)>> ways = {
      [&](HWND) { ClickControl(*Dialog().GetDlgItem(IDCANCEL)); },
      [&](HWND) {
        Dialog().GetDlgItem(IDC_COMMAND)->SetFocus();
        PressKey(VK_ESCAPE);
      },
      [&](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
  };
  for (std::size_t i = 0; i < ways.size(); ++i) {
    int flagAfter = -1;
    bool closed = false;
    const int result = RunConsole([&](HWND dialog) {
      EXPECT_TRUE(m_doc->IsCommandOpen());
      ways[i](dialog);
      flagAfter = m_doc->IsCommandOpen() ? 1 : 0;
      closed = !IsWindowVisible(dialog);
    });
    EXPECT_EQ(result, IDCANCEL) << "way " << i;
    EXPECT_EQ(flagAfter, 0) << "way " << i;
    EXPECT_TRUE(closed) << "way " << i;
  }
}

}  // namespace
