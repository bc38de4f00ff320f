// CCommandDlg: the serial command console's window. The user types a command
// (or picks one of the ten last sent), sends it to the serial port with CR LF
// behind it and watches the device's answer in a read-only transcript. The
// main form makes one each time it opens the console, on the document's
// CCommandConsole (bridge/), which keeps the history, the received-text
// hand-off and the links for the document's whole life; the window exists
// only between opening and closing.
//
// Threads: UI thread only. The reader never touches a widget: it formats
// bytes into the console's hand-off, which the display timer empties into
// the transcript once per tick.
#pragma once

#include <string>

#include "bridge/command_console.h"
#include "platform/window/dialog.h"

// Dialog resource and control identifiers.
constexpr unsigned IDD_SERIAL_COMMAND = 187;
constexpr int IDC_COMMAND = 1167;     // editable drop-down combo box: the command
constexpr int IDC_SEND = 1002;        // default push button "发送"
constexpr int IDC_TRANSCRIPT = 1203;  // read-only multi-line edit
// The display timer and its period.
constexpr unsigned COMMAND_DISPLAY_TIMER = 9100;
constexpr unsigned COMMAND_DISPLAY_PERIOD_MS = 200;

// Template 187, "串口命令".
const CDialogTemplate& CommandDialogTemplate();

class CCommandDlg : public CDialog {
 public:
  enum { IDD = IDD_SERIAL_COMMAND };

  // A window on console, which must outlive it.
  explicit CCommandDlg(CCommandConsole& console, CWnd* pParent = nullptr);
  ~CCommandDlg() override;

  // Runs the console; afterwards, however its window went (or when none
  // could be made), the document's m_bCommandOpen is 0. While the console
  // is already up, only gives it the focus (the flag stays 1).
  int DoModal() override;

  CCommandConsole& GetConsole() const { return m_console; }

 protected:
  int OnInitDialog() override;
  void OnTimer(unsigned nIdEvent) override;
  void OnSend();
  void OnClose() override;
  void OnCancel() override;
  void OnDestroy() override;

 private:
  CCommandConsole& m_console;
  // Scratch copy of the command being sent.
  std::string m_strCommand;
};
