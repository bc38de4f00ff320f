// CCommandDlg: the serial command console. The user types a command (or picks
// one of the ten last sent), sends it to the serial port with CR LF behind it
// and watches the device's answer in a read-only transcript. The document
// owns one console for its whole life and shows it modally; the window exists
// only between opening and closing.
//
// Threads. AppendReceivedByte and PublishReceived run on the serial reader
// thread (through the document's byte sink, device lock held); everything
// else on the UI thread. The reader never touches a widget: it formats bytes
// into the console's received-text hand-off, which the display timer empties
// into the transcript once per tick. Lock order: device lock → the hand-off's
// lock; the UI thread holds no console lock while it calls into the device.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window/dialog.h"
#include "ui/command_history.h"
#include "ui/received_text.h"

class CDeviceBase;
class CQuillonDoc;

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

  // Stores the links; the document fills in m_pDevice and m_pDoc itself.
  explicit CCommandDlg(CWnd* pParent = nullptr, CQuillonDoc* pDoc = nullptr, CDeviceBase* pDevice = nullptr);
  ~CCommandDlg() override;

  // Runs the console; afterwards, however its window went (or when none
  // could be made), the document's m_bCommandOpen is 0. While the console
  // is already up, only gives it the focus (the flag stays 1).
  int DoModal() override;

  // Reader thread, per received byte while the document's m_bCommandOpen is
  // 1. Does nothing unless the console's window is up; otherwise counts the
  // byte and stages its display form (a full stop outside 0x20..0x7F, "\r\n"
  // before each dollar sign). No lock per byte.
  void AppendReceivedByte(unsigned int byte) { m_received.Append(byte); }
  // Reader thread, at the end of each block of bytes: hands the staged text
  // to the display timer (one short lock).
  void PublishReceived();

  // The ten history slots from CMDConfigure.ini (see command_history.h).
  // 1 when all ten held a command. UI thread.
  int LoadCommands(CCommandSlots& history);
  // Moves text to the front of the stored history. Always 1. UI thread.
  int RememberCommand(std::string text);

  // Bytes counted since the transcript was last emptied. Any thread.
  std::uint32_t GetShownBytes() const { return m_received.GetShownBytes(); }

  // Where commands go, and the document that sends them and keeps the
  // console-open flag. Not owned.
  CDeviceBase* m_pDevice;
  CQuillonDoc* m_pDoc;

 protected:
  int OnInitDialog() override;
  void OnTimer(unsigned nIdEvent) override;
  void OnSend();
  void OnClose() override;
  void OnCancel() override;
  void OnDestroy() override;

 private:
  void ClearCommandOpen();

  // Received text not yet in the transcript, and the bytes counted since the
  // transcript was last emptied (m_strPending and m_nShownBytes inside).
  CReceivedText m_received;
  // Scratch copy of the command being sent.
  std::string m_strCommand;
};
