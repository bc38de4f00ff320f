#include "ui/command_dlg.h"

#include "bridge/quillon_doc.h"
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
    CControlTemplate label;
    label.nId = IDC_STATIC;
    label.kind = CtlKind::Static;
    label.strText = "命令:";
    label.x = 10, label.y = 11, label.cx = 22, label.cy = 11;
    label.dwStyle = SS_LEFT;
    CControlTemplate command;
    command.nId = IDC_COMMAND;
    command.kind = CtlKind::DropDownCombo;
    command.x = 33, command.y = 10, command.cx = 274, command.cy = 67;
    command.dwStyle = WS_VSCROLL | WS_TABSTOP;  // no CBS_AUTOHSCROLL
    CControlTemplate send;
    send.nId = IDC_SEND;
    send.kind = CtlKind::PushButton;
    send.strText = "发送";
    send.x = 318, send.y = 9, send.cx = 47, send.cy = 14;
    send.dwStyle = BS_DEFPUSHBUTTON | WS_TABSTOP;
    CControlTemplate transcript;
    transcript.nId = IDC_TRANSCRIPT;
    transcript.kind = CtlKind::Edit;
    transcript.x = 12, transcript.y = 32, transcript.cx = 358, transcript.cy = 143;
    transcript.dwStyle = ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    CControlTemplate back;
    back.nId = IDCANCEL;
    back.kind = CtlKind::PushButton;
    back.strText = "退出到主窗口";
    back.x = 157, back.y = 181, back.cx = 69, back.cy = 18;
    back.dwStyle = BS_PUSHBUTTON | WS_TABSTOP;
    t.controls = {label, command, send, transcript, back};
    return t;
  }();
  return dialog;
}

CCommandDlg::CCommandDlg(CWnd* pParent, CQuillonDoc* pDoc, CDeviceBase* pDevice)
    : CDialog(CommandDialogTemplate(), pParent), m_pDevice(pDevice), m_pDoc(pDoc) {
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
  ClearCommandOpen();
  return result;
}

int CCommandDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CCommandSlots history;
  LoadCommands(history);
  if (CComboBox* combo = GetDlgItemAs<CComboBox>(IDC_COMMAND)) {
    // Oldest first at position 0, so the most recent ends up on top; the edit
    // field stays empty.
    for (int n = COMMAND_HISTORY_SLOTS - 1; n >= 0; --n) {
      const std::string& slot = history[static_cast<size_t>(n)];
      if (!slot.empty()) combo->InsertString(0, slot);
    }
  }
  m_received.Open();
  // Ends with the window.
  SetTimer(COMMAND_DISPLAY_TIMER, COMMAND_DISPLAY_PERIOD_MS);
  return 1;
}

// Reader thread.
void CCommandDlg::PublishReceived() { m_received.Publish(); }

void CCommandDlg::OnTimer(unsigned nIdEvent) {
  CReceivedText::Tick tick = m_received.TakeTick();
  if (CEdit* transcript = GetDlgItemAs<CEdit>(IDC_TRANSCRIPT)) ShowReceivedText(*transcript, tick.bClear, tick.text);
  CDialog::OnTimer(nIdEvent);
}

void CCommandDlg::OnSend() {
  m_strCommand = GetDlgItemText(IDC_COMMAND);
  RememberCommand(m_strCommand);
  m_strCommand += "\r\n";
  if (m_pDoc != nullptr) m_pDoc->SendToDevice(m_pDevice, m_strCommand);
  m_strCommand.clear();
}

void CCommandDlg::OnClose() {
  ClearCommandOpen();
  CDialog::OnClose();  // becomes a cancel
}

void CCommandDlg::OnCancel() {
  ClearCommandOpen();
  CDialog::OnCancel();
}

void CCommandDlg::OnDestroy() {
  m_received.Close();
  CDialog::OnDestroy();
}

int CCommandDlg::LoadCommands(CCommandSlots& history) { return LoadCommandHistory(history, CommandHistoryPath()); }

int CCommandDlg::RememberCommand(std::string text) { return RememberCommandInHistory(text, CommandHistoryPath()); }

void CCommandDlg::ClearCommandOpen() {
  if (m_pDoc != nullptr) m_pDoc->m_bCommandOpen.store(0, std::memory_order_relaxed);
}
