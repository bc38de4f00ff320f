// CQuillonView: the main form, the only view of the program. It carries the
// serial settings with the button that connects and releases the port, the
// network settings with the button that starts and stops the network port,
// the button that switches forwarding, the button that opens the command
// console, the receive pane and the statistics list. It writes the settings
// into the document, drives the serial device through it and refreshes the
// receive pane and the statistics on two timers. The button captions are the
// state of the form and are compared as exact texts.
//
// Threads: UI thread only. The serial reader thread writes the document's
// counters and pending text meanwhile; the view reads them through the
// document's accessors (atomics, and one lock for the take-and-empty of the
// display text). The view never calls into the device while it holds a lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bridge/start_defaults.h"
#include "device/serial_errors.h"
#include "params/parameters.h"
#include "platform/window/controls.h"
#include "platform/window/frame.h"
#include "ui/parameter_list_ctrl.h"

class CQuillonDoc;

// Form template and control identifiers.
constexpr unsigned IDD_QUILLON_FORM = 101;
constexpr int IDC_STATS_LIST = 1004;      // statistics list (CParameterListCtrl)
constexpr int IDC_RECEIVE_PANE = 1006;    // multi-line edit: received bytes
constexpr int IDC_TARGET_PORT = 1015;     // edit: target UDP port
constexpr int IDC_CONNECT_SERIAL = 1016;  // "连接串口" / "释放串口"
constexpr int IDC_LOCAL_PORT = 1017;      // edit: local UDP port
constexpr int IDC_SEND_DATA = 1018;       // "发送数据" / "停止发送"
constexpr int IDC_TARGET_IP = 1021;       // IPv4 address control
constexpr int IDC_BAUD = 1023;            // drop-down list: baud rate
constexpr int IDC_PARITY = 1024;          // drop-down list: parity
constexpr int IDC_START_PORT = 1025;      // "启动端口" / "关闭端口"
constexpr int IDC_DATA_BITS = 1026;       // drop-down list: data bits
constexpr int IDC_STOP_BITS = 1027;       // drop-down list: stop bits
constexpr int IDC_FRAME_SIZE = 1028;      // drop-down list: frame size
constexpr int IDC_SERIAL_PORT = 1029;     // drop-down list: COM1..COM20, then devices
constexpr int IDC_COMMAND_SETTINGS = 1038;  // "命令设置": opens the console

// Timers: statistics for the life of the view, display refresh while the
// serial port button reads "释放串口".
constexpr unsigned STATS_TIMER = 11111;
constexpr unsigned STATS_PERIOD_MS = 500;
constexpr unsigned DISPLAY_TIMER = 22222;
constexpr unsigned DISPLAY_PERIOD_MS = 200;

// Template 101: 506 × 300 dialog units, every control of the form.
const CDialogTemplate& QuillonViewTemplate();

// The items of the drop-down lists, first item first. A serial list's
// selected item is the text the serial device is given.
const std::vector<std::string>& BaudRateItems();
const std::vector<std::string>& ParityItems();
const std::vector<std::string>& DataBitItems();
const std::vector<std::string>& StopBitItems();
const std::vector<std::string>& FrameSizeItems();
// The frame size that the frame-size list's item nIndex names.
int FrameSizeForIndex(int nIndex);
// The text the port list's selection names: "COM%d" with nIndex + 1.
std::string PortNameForIndex(int nIndex);
// COM1 to COM20 always head the port list; the devices present follow.
constexpr int FIXED_PORT_COUNT = 20;

class CCommandDlg;

class CQuillonView : public CFormView {
 public:
  enum { IDD = IDD_QUILLON_FORM };

  CQuillonView();
  ~CQuillonView() override;

  // The document this view shows (the document template sets it before the
  // window is created). Not owned.
  CQuillonDoc* GetDocument() const { return m_pDocument; }
  void SetDocument(CQuillonDoc* pDocument) { m_pDocument = pDocument; }

  // Default selections, address and statistics; sizes the frame to the form
  // and (re)starts the statistics timer. Runs at start-up and after every
  // new-document or open command; leaves captions and enable states alone.
  void OnInitialUpdate() override;
  void DoDataExchange(CDataExchange* pDX) override;

  // The four buttons.
  void OnConnectSerial();
  void OnCommandSettings();
  void OnStartPort();
  void OnSendData();

  void OnTimer(unsigned nIdEvent) override;

  // Bound by the data exchange: the statistics list and the address control.
  CParameterListCtrl m_listStats;
  CIPAddressCtrl m_ipTarget;
  // The ports the network port was last started with (1024..65535); the
  // edits are read into them only by a start that passes the checks (2000
  // and 3000 until then).
  int m_nEditLocalPort = DEFAULT_LOCAL_PORT;
  int m_nEditTargetPort = 3000;
  // The statistics: one section per side, both under the root.
  CParameters m_serialStats;
  CParameters m_netStats;
  CParameters m_stats;
  // The receive pane's text as last exchanged.
  std::string m_strReceived;

  // The console window while "命令设置" has it up, else null. UI thread.
  CCommandDlg* GetConsoleWindow() const { return m_pConsoleWindow; }

 private:
  // Rebuilds the three collections and the list's rows. bInitial: counters
  // and the target address as a fresh form shows them (zero, empty).
  void BuildStatistics(bool bInitial);
  void RefreshDisplay();
  // The serial "当前状态": "打开" while connected, else "关闭" (a lost port
  // reads "断开", see BuildStatistics).
  const char* SerialStateText() const;
  // Whether "启动端口" has opened the network port (the button reads "关闭端口").
  bool IsNetworkStarted() const;
  // Why the started network port's sends fail now; empty while they work or
  // while it is closed.
  std::string SendErrorCause() const;
  // The port list: COM1 to COM20, then the serial devices present by path
  // (tooltip: stable name and description); the selection stays on the
  // same name. Runs at the initial update and whenever the list opens.
  void RefreshPortList();
  // The selected port list item: "COMn" or a device path.
  std::string SelectedPortName() const;
  // The status bar's message pane: the lost-port notice, else the network
  // send failure with its cause, else what the serial driver dropped or
  // received damaged since the port was connected, else "就绪"; set only
  // when it changes. nLostState: the serial port's lost state (0 while it
  // is not lost).
  std::string StatusMessage(int nLostState, const std::string& sendError,
                            const SerialErrorCounts& driverErrors) const;
  void ShowStatusMessage(const std::string& text);
  // The receive pane's text into m_strReceived: the part of the exchange
  // that the serial and forwarding buttons keep (a new document shows it).
  void TakeReceivedText();
  int Selection(int nId) const;
  void SetSelection(int nId, int nIndex);
  void EnableControl(int nId, bool bEnable);
  void EnableSerialSettings(bool bEnable);
  void EnableNetworkSettings(bool bEnable);

  CQuillonDoc* m_pDocument = nullptr;
  // The console window while it is up (it lives on OnCommandSettings' stack):
  // a second request only gives it the focus, and leaves the document's
  // console-open flag alone.
  CCommandDlg* m_pConsoleWindow = nullptr;
  std::string m_strStatusShown = "就绪";
};
