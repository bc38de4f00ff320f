// The window layer on the system's own controls (under Wine in the test
// command): the dialog manager's layout of a template, texts through code
// page 936, commands and enabling, timers, the combo box, list view and
// address control rules, the modal dialog's keys and close paths, and
// message boxes.
#include "window_test_support_win32.h"

#include <algorithm>
#include <memory>

#include "platform/window/app.h"
#include "platform/window/dialog.h"

namespace {

// Bytes that must survive every trip through a control: Chinese text,
// ASCII, a trail byte that is '|' in ASCII (0x7C) and the full-width colon.
const std::string kMixed = "校验：奇校验 COM3 \xD8\x7C 9600";

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 63);
  return name;
}

class CommandForm : public CFormView {
 public:
  CommandForm() : CFormView(TestFormTemplate()) {
    MapCommand(ID_BUTTON, &CommandForm::OnButton);
    MapNotify(ID_LIST_BOX, CBN_SELCHANGE, &CommandForm::OnSelChange);
  }
  void OnButton() { calls.push_back("button"); }
  void OnSelChange() { calls.push_back("selchange"); }
  void OnTimer(unsigned nIdEvent) override { ticks.push_back(nIdEvent); }
  int Count(unsigned id) const { return static_cast<int>(std::count(ticks.begin(), ticks.end(), id)); }
  std::vector<std::string> calls;
  std::vector<unsigned> ticks;
};

using Win32Form = WindowTest;
using Win32Controls = WindowTest;
using Win32Dialog = WindowTest;

TEST_F(Win32Form, IsADialogOfTheDialogManagerInTheUiFontsDialogUnits) {
  FramedForm<PlainForm> f;
  HWND form = WindowOf(f.view);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(ClassOf(form), L"#32770");
  // The form's size, the layer's idea of it and the frame's client area agree.
  RECT units{0, 0, 506, 300};
  MapDialogRect(form, &units);
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, units.right);
  EXPECT_EQ(client.bottom, units.bottom);
  EXPECT_EQ(f.view.GetTotalSize(), (CSize{units.right, units.bottom}));
  EXPECT_EQ(f.frame.GetClientSize(), f.view.GetTotalSize());

  // Each control is the system's own, where its dialog units put it.
  const std::vector<std::pair<int, std::wstring>> classes = {
      {ID_PANE, L"Edit"}, {ID_REPORT, L"SysListView32"}, {ID_LIST_BOX, L"ComboBox"},
      {ID_BUTTON, L"Button"}, {ID_ADDRESS, L"SysIPAddress32"}};
  for (const auto& [id, name] : classes) {
    EXPECT_EQ(_wcsicmp(ClassOf(WindowOf(*f.view.GetDlgItem(id))).c_str(), name.c_str()), 0) << "control " << id;
  }
  RECT button{408, 168, 408 + 39, 168 + 14};
  MapDialogRect(form, &button);
  EXPECT_EQ(f.view.GetDlgItem(ID_BUTTON)->GetPeer()->GetWindowRect(),
            (CRect{button.left, button.top, button.right, button.bottom}));
  // A bordered edit has the sunken edge of the 3-D look.
  EXPECT_TRUE(GetWindowLongW(WindowOf(*f.view.GetDlgItem(ID_PANE)), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

  // The controls speak the chosen CJK face at 9 points.
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(WindowOf(*f.view.GetDlgItem(ID_BUTTON)), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_NE(GetObjectW(font, sizeof lf, &lf), 0);
  EXPECT_EQ(WideToUtf8(lf.lfFaceName), Win32UiFontFace());
  const std::string face = Win32UiFontFace();
  EXPECT_TRUE(face.find("YaHei") != std::string::npos || face == "SimSun" || face.find("WenQuanYi") != std::string::npos ||
              face.find("CJK") != std::string::npos)
      << face << " (install fonts-wqy-microhei)";
}

TEST_F(Win32Form, TextsCrossTheWFunctionsAsGbkByteForByte) {
  FramedForm<PlainForm> f;
  for (int id : {ID_EDIT, ID_BUTTON, ID_COMBO}) {
    f.view.SetDlgItemText(id, kMixed);
    EXPECT_EQ(f.view.GetDlgItemText(id), kMixed) << "control " << id;
  }
  // What the control holds is the same text in UTF-16, whatever the
  // system's own code page.
  wchar_t shown[64] = {};
  GetWindowTextW(WindowOf(*f.view.GetDlgItem(ID_BUTTON)), shown, 63);
  EXPECT_EQ(std::wstring(shown), L"\u6821\u9A8C\uFF1A\u5947\u6821\u9A8C COM3 \u8C84 9600");

  // A multi-line edit keeps CR LF as its line break.
  const std::string lines = "第一行\r\n$GP..\r\n$A";
  f.view.SetDlgItemText(ID_PANE, lines);
  EXPECT_EQ(f.view.GetDlgItemText(ID_PANE), lines);
  EXPECT_EQ(f.view.GetDlgItemAs<CEdit>(ID_PANE)->GetLineCount(), 3);
  f.frame.SetWindowText("串口转网口助手 - Quillon");
  EXPECT_EQ(f.frame.GetWindowText(), "串口转网口助手 - Quillon");

  // Selection positions count GBK bytes, a line break two.
  auto* pane = f.view.GetDlgItemAs<CEdit>(ID_PANE);
  pane->SetWindowText("串口\r\nAB");
  pane->SetSel(4, 7);
  pane->ReplaceSel("-");
  EXPECT_EQ(pane->GetWindowText(), "串口-B");
  int start = 0, end = 0;
  pane->SetSel(0, -1);
  pane->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 6);

  // Appending goes to the end with the user's selection left as it was.
  pane->SetWindowText("AAAA\r\nBBBB");
  pane->SetSel(1, 3);
  pane->AppendText("$GP..\r\n$A");
  EXPECT_EQ(pane->GetWindowText(), "AAAA\r\nBBBB$GP..\r\n$A");
  pane->GetSel(start, end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 3);
}

TEST_F(Win32Form, ButtonsSendTheirCommandOnlyWhileEnabledAndTimersTickByIdentifier) {
  FramedForm<CommandForm> f;
  CWnd* button = f.view.GetDlgItem(ID_BUTTON);
  ClickControl(*button);
  EXPECT_EQ(f.view.calls, std::vector<std::string>{"button"});
  EXPECT_EQ(button->EnableWindow(false), 0);
  EXPECT_FALSE(IsWindowEnabled(WindowOf(*button)));
  ClickControl(*button);
  f.view.GetDlgItemAs<CButton>(ID_BUTTON)->Click();
  EXPECT_EQ(f.view.calls, std::vector<std::string>{"button"}) << "a disabled button sends nothing";
  EXPECT_EQ(button->EnableWindow(true), 1);
  // Disabling the form leaves each control's own state as it was.
  f.view.EnableWindow(false);
  EXPECT_EQ(button->IsWindowEnabled(), 1);
  f.view.EnableWindow(true);

  // A selection by the user notifies; one set by the program does not.
  auto* list = f.view.GetDlgItemAs<CComboBox>(ID_LIST_BOX);
  list->SetCurSel(0);
  list->SetFocus();
  PressKey(VK_DOWN);
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(f.view.calls, (std::vector<std::string>{"button", "selchange"}));

  // Window timers: by identifier, until killed, a restart replacing the timer.
  EXPECT_EQ(f.view.SetTimer(11111, 10), 11111u);
  EXPECT_EQ(f.view.SetTimer(22222, 15), 22222u);
  EXPECT_TRUE(WaitFor([&] { return f.view.Count(11111) >= 2 && f.view.Count(22222) >= 2; }));
  EXPECT_EQ(f.view.KillTimer(22222), 1);
  EXPECT_EQ(f.view.KillTimer(22222), 0);
  const int killed = f.view.Count(22222);
  const int before = f.view.Count(11111);
  EXPECT_TRUE(WaitFor([&] { return f.view.Count(11111) >= before + 3; }));
  EXPECT_EQ(f.view.Count(22222), killed);
  for (unsigned id : f.view.ticks) EXPECT_TRUE(id == 11111 || id == 22222);
  // They end with the window.
  f.frame.DestroyWindow();
  const std::size_t total = f.view.ticks.size();
  EXPECT_EQ(f.view.SetTimer(9100, 10), 0u);
  RunLoopFor(60);
  EXPECT_EQ(f.view.ticks.size(), total);
}

TEST_F(Win32Controls, ComboBoxesListViewsAndTheAddressKeepTheSystemsRules) {
  FramedForm<PlainForm> f;
  auto* list = f.view.GetDlgItemAs<CComboBox>(ID_LIST_BOX);
  EXPECT_EQ(list->GetCount(), 3);
  EXPECT_EQ(list->GetLBText(2), "校验");
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_EQ(list->SetCurSel(2), 2);
  EXPECT_EQ(list->GetWindowText(), "校验");
  EXPECT_EQ(list->SetCurSel(3), CB_ERR);
  EXPECT_EQ(list->GetCurSel(), -1);
  list->SetWindowText("COM2");
  EXPECT_EQ(list->GetCurSel(), 1);

  // The editable combo box: history inserted at the top, edit field empty;
  // what the user types is the window text and the list is left alone.
  auto* combo = f.view.GetDlgItemAs<CComboBox>(ID_COMBO);
  for (const char* command : {"AT+OLD", "AT+MID", "AT+NEW"}) EXPECT_EQ(combo->InsertString(0, command), 0);
  EXPECT_EQ(combo->GetLBText(0), "AT+NEW");
  EXPECT_EQ(combo->GetWindowText(), "");
  combo->SetFocus();
  TypeText("AT");
  EXPECT_EQ(combo->GetWindowText(), "AT");
  EXPECT_EQ(combo->InsertString(9, "x"), CB_ERR);
  EXPECT_EQ(combo->DeleteString(0), 2);
  EXPECT_EQ(combo->GetWindowText(), "AT");
  combo->ResetContent();
  EXPECT_EQ(combo->GetCount(), 0);

  // The report view: columns with their headings and formats, rows with
  // texts and item data, the list view's extended styles.
  auto* report = f.view.GetDlgItemAs<CListCtrl>(ID_REPORT);
  report->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(SendMessageW(WindowOf(*report), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
                (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
            LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(report->InsertColumn(0, "序号", LVCFMT_CENTER, 40), 0);
  EXPECT_EQ(report->InsertColumn(1, "参数名", LVCFMT_LEFT, 160), 1);
  EXPECT_EQ(report->GetColumnHeading(1), "参数名");
  EXPECT_EQ(report->GetColumnWidth(1), 160);
  EXPECT_EQ(report->GetColumnFormat(0), LVCFMT_CENTER);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(report->InsertItem(i, std::to_string(i + 1)), i);
    report->SetItemText(i, 1, "    接收量");
    report->SetItemData(i, static_cast<std::uintptr_t>(i * 7));
  }
  EXPECT_EQ(report->InsertItem(99, "end"), 4);
  EXPECT_EQ(report->GetItemText(2, 1), "    接收量");
  EXPECT_EQ(report->GetItemData(3), 21u);
  EXPECT_EQ(report->SetItemText(9, 0, "x"), 0);
  EXPECT_EQ(report->DeleteItem(4), 1);
  EXPECT_EQ(report->GetItemCount(), 4);

  // The address control: four fields, blank ones read as such.
  auto* address = f.view.GetDlgItemAs<CIPAddressCtrl>(ID_ADDRESS);
  EXPECT_EQ(address->IsBlank(), 1);
  address->SetAddress(192, 168, 0, 1);
  std::uint32_t packed = 0;
  EXPECT_EQ(address->GetAddress(packed), 4);
  EXPECT_EQ(packed, 0xC0A80001u);
  EXPECT_EQ(address->GetWindowText(), "192.168.0.1");
  address->SetWindowText("1.2..300");
  EXPECT_EQ(address->GetWindowText(), "1.2..");
  // Typed by the user, with the system's own rules: a dot moves on, a third
  // digit moves on, a value over 255 becomes 255.
  address->ClearAddress();
  address->SetFocus();
  TypeText("127.0.0.1");
  EXPECT_EQ(address->GetWindowText(), "127.0.0.1");
  address->ClearAddress();
  address->SetFocus();
  TypeText("10.300");
  RunLoopFor(50);
  EXPECT_EQ(address->GetWindowText().substr(0, 7), "10.255.");
  address->EnableWindow(false);
  EXPECT_EQ(address->IsWindowEnabled(), 0);
}

// ------------------------------------------------------------------ dialogs

enum : int { ID_SEND = 1002, ID_OTHER = 1003, ID_COMMAND = 1167 };

const CDialogTemplate& ConsoleLikeTemplate() {
  static const CDialogTemplate dialog = TestTemplate(
      187, 384, 206, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME,
      {TestControl(IDC_STATIC, CtlKind::Static, "命令:", 10, 11, 22, 11, SS_LEFT),
       TestControl(ID_COMMAND, CtlKind::DropDownCombo, "", 33, 10, 274, 67, WS_VSCROLL | WS_TABSTOP),
       TestControl(ID_SEND, CtlKind::PushButton, "发送", 318, 9, 47, 14, BS_DEFPUSHBUTTON | WS_TABSTOP),
       TestControl(ID_OTHER, CtlKind::PushButton, "其他", 250, 181, 50, 18, BS_PUSHBUTTON | WS_TABSTOP),
       TestControl(IDCANCEL, CtlKind::PushButton, "退出到主窗口", 157, 181, 69, 18, BS_PUSHBUTTON | WS_TABSTOP)},
      "串口命令");
  return dialog;
}

class ConsoleLike : public CDialog {
 public:
  ConsoleLike() : CDialog(ConsoleLikeTemplate()) {
    MapCommand(ID_SEND, &ConsoleLike::OnSend);
    MapCommand(ID_OTHER, &ConsoleLike::OnOther);
  }
  int OnInitDialog() override {
    calls.push_back("init");
    SetTimer(9100, 10);
    return CDialog::OnInitDialog();
  }
  void OnTimer(unsigned nIdEvent) override { ++ticks; }
  void OnSend() { calls.push_back("send:" + GetDlgItemText(ID_COMMAND)); }
  void OnOther() { calls.push_back("other"); }
  void OnCancel() override {
    calls.push_back("cancel");
    CDialog::OnCancel();
  }
  void OnClose() override {
    calls.push_back("close");
    CDialog::OnClose();
  }
  std::vector<std::string> calls;
  int ticks = 0;
};

TEST_F(Win32Dialog, EscapeTheCloseBoxAndTheCancelButtonAllTakeTheCancelPath) {
  const std::vector<std::function<void(ConsoleLike&, HWND)>> ways = {
      [](ConsoleLike& d, HWND) {
        d.GetDlgItem(ID_COMMAND)->SetFocus();
        PressKey(VK_ESCAPE);
      },
      [](ConsoleLike&, HWND h) { SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); },
      [](ConsoleLike& d, HWND) { ClickControl(*d.GetDlgItem(IDCANCEL)); },
  };
  const std::vector<std::vector<std::string>> expected = {
      {"init", "cancel"}, {"init", "close", "cancel"}, {"init", "cancel"}};
  for (std::size_t i = 0; i < ways.size(); ++i) {
    ConsoleLike dialog;
    bool visibleAfter = true;
    CScopedWin32ModalHook hook([&](HWND h) {
      EXPECT_EQ(TextOf(h), "串口命令");
      EXPECT_EQ(ClassOf(h), L"#32770");
      // The owner takes no input while the dialog is up.
      if (CWnd* main = AfxGetMainWnd()) {
        EXPECT_FALSE(IsWindowEnabled(WindowOf(*main)));
      }
      ways[i](dialog, h);
      visibleAfter = IsWindowVisible(h);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.calls, expected[i]) << "way " << i;
    EXPECT_FALSE(visibleAfter);
    EXPECT_FALSE(dialog.IsWindowCreated());
    EXPECT_EQ(dialog.GetDlgItem(ID_SEND), nullptr);
  }
}

TEST_F(Win32Dialog, EnterRunsTheFocusedButtonOrTheDefaultOneAndItsTimerTicks) {
  ConsoleLike dialog;
  CScopedWin32ModalHook hook([&](HWND) {
    EXPECT_TRUE(WaitFor([&] { return dialog.ticks >= 2; }));
    dialog.GetDlgItem(ID_COMMAND)->SetFocus();
    TypeText("AT");
    PressKey(VK_RETURN);
    dialog.GetDlgItem(ID_OTHER)->SetFocus();
    PressKey(VK_RETURN);
    // A disabled default button takes no Enter.
    dialog.GetDlgItem(ID_SEND)->EnableWindow(false);
    dialog.GetDlgItem(ID_COMMAND)->SetFocus();
    PressKey(VK_RETURN);
    dialog.GetDlgItem(ID_SEND)->EnableWindow(true);
    ClickControl(*dialog.GetDlgItem(IDCANCEL));
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.calls, (std::vector<std::string>{"init", "send:AT", "other", "cancel"}));

  // A hook that leaves the dialog open: closed through the close box; a
  // second opening builds a fresh window and EndDialog's result comes back.
  ConsoleLike again;
  {
    CScopedWin32ModalHook leave([](HWND) {});
    EXPECT_EQ(again.DoModal(), IDCANCEL);
  }
  EXPECT_EQ(again.calls, (std::vector<std::string>{"init", "close", "cancel"}));
  CScopedWin32ModalHook ok([&](HWND) { again.EndDialog(IDOK); });
  EXPECT_EQ(again.DoModal(), IDOK);
}

TEST_F(Win32Dialog, MessageBoxesAreTheSystemsWithAnOkButtonTheCauseBelowAndNeverBlock) {
  std::unique_ptr<CWinApp> ownApp;
  if (!AfxGetApp()) ownApp = std::make_unique<CWinApp>("Quillon");
  MessageBoxRecorder boxes;
  AfxMessageBox("串口打开错误 请查看该串口是否已被其他应用程序同时打开", "原因：COM3 正被其他程序使用");
  AfxMessageBox("网络端口绑定失败，请更换端口号！");
  ASSERT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(boxes.texts[0], "串口打开错误 请查看该串口是否已被其他应用程序同时打开");
  EXPECT_EQ(boxes.causes[0], "原因：COM3 正被其他程序使用");
  EXPECT_EQ(boxes.texts[1], "网络端口绑定失败，请更换端口号！");
  EXPECT_EQ(boxes.causes[1], "");
  EXPECT_EQ(boxes.titles[0], AfxGetApp()->m_strAppName);
  EXPECT_FALSE(boxes.hasCancel[0]);
}

}  // namespace
