#include "ui/command_dlg.h"

#include "platform/window/controls.h"
#include "ui/received_text_pane.h"

const CDialogTemplate& CommandDialogTemplate() {
  static const CDialogTemplate dialog = [] {
    CDialogTemplate t;
    t.nId = IDD_SERIAL_COMMAND;
    t.cx = 384;
    t.cy = 206;
    t.strCaption = "串口命令";
    t.strFontName = "宋体";
    t.nFontPointSize = 9;
    t.dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME;
    // Identifier, kind, text, x, y, width, height (dialog units), styles.
    t.controls = {
        {IDC_STATIC, CtlKind::Static, "命令:", 10, 11, 22, 11, SS_LEFT, 0, {}},
        // No CBS_AUTOHSCROLL.
        {IDC_COMMAND, CtlKind::DropDownCombo, "", 33, 10, 274, 67, WS_VSCROLL | WS_TABSTOP, 0, {}},
        {IDC_SEND, CtlKind::PushButton, "发送", 318, 9, 47, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, {}},
        {IDC_TRANSCRIPT, CtlKind::Edit, "", 12, 32, 358, 143,
         ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 0, {}},
        {IDCANCEL, CtlKind::PushButton, "退出到主窗口", 157, 181, 69, 18, BS_PUSHBUTTON | WS_TABSTOP, 0, {}},
    };
    return t;
  }();
  return dialog;
}

CCommandDlg::CCommandDlg(CCommandConsole& console, CWnd* pParent)
    : CDialog(CommandDialogTemplate(), pParent), m_console(console) {
  MapCommand(IDC_SEND, &CCommandDlg::OnSend);
}

CCommandDlg::~CCommandDlg() = default;

int CCommandDlg::DoModal() {
  if (IsWindowCreated()) {
    // A second request while the console runs: it stays up and keeps
    // receiving, so the flag is left as it is.
    SetFocus();
    return IDCANCEL;
  }
  int result = CDialog::DoModal();
  // Also when no window could be made: the document must not keep feeding a
  // console that is not there.
  m_console.ClearCommandOpen();
  return result;
}

int CCommandDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CCommandSlots history;
  m_console.LoadCommands(history);
  if (CComboBox* combo = GetDlgItemAs<CComboBox>(IDC_COMMAND)) {
    // Oldest first at position 0, so the most recent ends up on top; the edit
    // field stays empty.
    for (int n = COMMAND_HISTORY_SLOTS - 1; n >= 0; --n) {
      const std::string& slot = history[static_cast<size_t>(n)];
      if (!slot.empty()) combo->InsertString(0, slot);
    }
  }
  m_console.OpenTranscript();
  // Ends with the window.
  SetTimer(COMMAND_DISPLAY_TIMER, COMMAND_DISPLAY_PERIOD_MS);
  return 1;
}

void CCommandDlg::OnTimer(unsigned nIdEvent) {
  CReceivedText::Tick tick = m_console.TakeTick();
  if (CEdit* transcript = GetDlgItemAs<CEdit>(IDC_TRANSCRIPT)) ShowReceivedText(*transcript, tick.bClear, tick.text);
  CDialog::OnTimer(nIdEvent);
}

void CCommandDlg::OnSend() {
  m_strCommand = GetDlgItemText(IDC_COMMAND);
  m_console.SendCommand(m_strCommand);
  m_strCommand.clear();
}

void CCommandDlg::OnClose() {
  m_console.ClearCommandOpen();
  CDialog::OnClose();  // becomes a cancel
}

void CCommandDlg::OnCancel() {
  m_console.ClearCommandOpen();
  CDialog::OnCancel();
}

void CCommandDlg::OnDestroy() {
  m_console.CloseTranscript();
  CDialog::OnDestroy();
}
