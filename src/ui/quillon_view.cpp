#include "ui/quillon_view.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "bridge/quillon_doc.h"
#include "bridge/start_defaults.h"
#include "device/port_list.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window/data_exchange.h"
#include "bridge/received_text.h"
#include "ui/command_dlg.h"
#include "ui/received_text_pane.h"

namespace {

// Captions: the state of the form.
const char* const kConnect = "连接串口";
const char* const kRelease = "释放串口";
const char* const kStartPort = "启动端口";
const char* const kClosePort = "关闭端口";
const char* const kSendData = "发送数据";
const char* const kStopSending = "停止发送";

// The "当前状态" rows of the statistics.
const char* const kStateOpen = "打开";
const char* const kStateClosed = "关闭";
const char* const kStateLost = "断开";
const char* const kStateSendFailing = "发送失败";

// The status bar's message pane while a connected port has hung up, and
// once it is open again.
const char* const kPortLostMessage = "串口已断开，等待重新连接…";
// A pseudo-terminal's name goes to the next program that asks for one, and
// an adapter's kernel name to whichever is plugged in next: neither is
// taken back.
const char* const kPortGoneMessage = "串口已断开，伪终端不会重新连接，请释放串口";
const char* const kOtherDeviceMessage = "串口已断开：该名称下出现的是另一个设备，不重新连接";
const char* const kReadyMessage = "就绪";
// The message pane while the network port's sends fail, before the cause.
const char* const kSendFailedMessage = "网络发送失败：";
const char* const kAddressIncomplete = "请输入完整的目标IP地址。";
const char* const kDefaultTargetIp = "192.168.0.1";

// Every list has a selection once the initial update has run; a missing one
// reads as the first item rather than outside the table.
template <class Table>
const auto& Pick(const Table& table, int nIndex) {
  const std::size_t count = std::size(table);
  return table[(nIndex >= 0 && static_cast<std::size_t>(nIndex) < count) ? static_cast<std::size_t>(nIndex) : 0];
}

// Where a default stands in its list; the first item when it is not there,
// as Pick reads a missing selection.
int IndexOf(const std::vector<std::string>& items, const std::string& value) {
  const auto found = std::find(items.begin(), items.end(), value);
  return found == items.end() ? 0 : static_cast<int>(found - items.begin());
}

// Where a port name stands among the fixed ports; the first when it is not one.
int PortIndexOf(const std::string& name) {
  for (int i = 0; i < FIXED_PORT_COUNT; ++i) {
    if (PortNameForIndex(i) == name) return i;
  }
  return 0;
}

}  // namespace

int FrameSizeForIndex(int nIndex) { return Pick(FRAME_SIZES, nIndex); }

std::string PortNameForIndex(int nIndex) { return StrFormat("COM%d", nIndex + 1); }

CQuillonView::CQuillonView() : CFormView(QuillonViewTemplate()) {
  MapCommand(IDC_CONNECT_SERIAL, &CQuillonView::OnConnectSerial);
  MapCommand(IDC_COMMAND_SETTINGS, &CQuillonView::OnCommandSettings);
  MapCommand(IDC_START_PORT, &CQuillonView::OnStartPort);
  MapCommand(IDC_SEND_DATA, &CQuillonView::OnSendData);
  MapNotify(IDC_SERIAL_PORT, CBN_DROPDOWN, &CQuillonView::RefreshPortList);
}

CQuillonView::~CQuillonView() = default;

void CQuillonView::DoDataExchange(CDataExchange* pDX) {
  CFormView::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_STATS_LIST, m_listStats);
  DDX_Control(pDX, IDC_TARGET_IP, m_ipTarget);
  DDX_Text(pDX, IDC_LOCAL_PORT, m_nEditLocalPort);
  DDV_MinMaxInt(pDX, m_nEditLocalPort, 1024, 65535);
  DDX_Text(pDX, IDC_TARGET_PORT, m_nEditTargetPort);
  DDV_MinMaxInt(pDX, m_nEditTargetPort, 1024, 65535);
  DDX_Text(pDX, IDC_RECEIVE_PANE, m_strReceived);
}

void CQuillonView::OnInitialUpdate() {
  CFormView::OnInitialUpdate();
  if (CFrameWnd* frame = GetParentFrame()) {
    frame->RecalcLayout();
  }
  ResizeParentToFit(true);

  SetSelection(IDC_SERIAL_PORT, PortIndexOf(DEFAULT_PORT_NAME));
  RefreshPortList();
  SetSelection(IDC_BAUD, IndexOf(BaudRateItems(), DEFAULT_BAUD));
  SetSelection(IDC_PARITY, IndexOf(ParityItems(), DEFAULT_PARITY));
  SetSelection(IDC_DATA_BITS, IndexOf(DataBitItems(), DEFAULT_DATA_BITS));
  SetSelection(IDC_STOP_BITS, IndexOf(StopBitItems(), DEFAULT_STOP_BITS));

  CQuillonDoc* doc = GetDocument();
  if (!IsNetworkStarted() || doc == nullptr) {
    SetSelection(IDC_FRAME_SIZE, IndexOf(FrameSizeItems(), std::to_string(DEFAULT_FRAME_SIZE)));
    unsigned fields[4] = {};
    if (std::sscanf(kDefaultTargetIp, "%u.%u.%u.%u", &fields[0], &fields[1], &fields[2], &fields[3]) == 4) {
      m_ipTarget.SetAddress(static_cast<std::uint8_t>(fields[0]), static_cast<std::uint8_t>(fields[1]),
                            static_cast<std::uint8_t>(fields[2]), static_cast<std::uint8_t>(fields[3]));
    }
  } else {
    // A started network port goes on into the new document with the socket
    // it has: its fields keep showing the settings it was started with, the
    // document (which starts with no frame size) gets them back, and "发送数据"
    // says that forwarding is off again. Otherwise the form would show an
    // address and a frame size that nothing uses.
    doc->SetNetworkSettings(static_cast<std::uint16_t>(m_nEditLocalPort), doc->GetTargetIp(), doc->GetTargetPort(),
                            FrameSizeForIndex(Selection(IDC_FRAME_SIZE)));
    SetDlgItemText(IDC_SEND_DATA, doc->IsForwarding() ? kStopSending : kSendData);
  }

  BuildStatistics(true);
  SetTimer(STATS_TIMER, STATS_PERIOD_MS);
}

void CQuillonView::OnConnectSerial() {
  // The port edits are checked where they are used, by "启动端口": a
  // half-typed port must not hold up the serial port.
  TakeReceivedText();

  const CParameters settings = SerialStartParameters(
      SelectedPortName(), Pick(BaudRateItems(), Selection(IDC_BAUD)),
      Pick(ParityItems(), Selection(IDC_PARITY)), Pick(DataBitItems(), Selection(IDC_DATA_BITS)),
      Pick(StopBitItems(), Selection(IDC_STOP_BITS)));

  CQuillonDoc* doc = GetDocument();
  if (doc == nullptr) return;

  if (GetDlgItemText(IDC_CONNECT_SERIAL) == kConnect) {
    // Started before the open is tried, whether or not it succeeds.
    SetTimer(DISPLAY_TIMER, DISPLAY_PERIOD_MS);
    doc->StopDevice();
    if (doc->OpenSerial(settings)) {
      SetDlgItemText(IDC_CONNECT_SERIAL, kRelease);
      EnableSerialSettings(false);
      EnableControl(IDC_COMMAND_SETTINGS, true);
    } else {
      AfxMessageBox(kSerialOpenHeadline, doc->GetOpenErrorCause());
    }
    return;
  }

  KillTimer(DISPLAY_TIMER);
  doc->CloseSerial();
  ShowStatusMessage(StatusMessage(0, SendErrorCause(), SerialErrorCounts()));
  doc->EmptyDisplayText();  // what arrived since the last refresh is dropped
  SetDlgItemText(IDC_CONNECT_SERIAL, kConnect);
  EnableSerialSettings(true);
  EnableControl(IDC_COMMAND_SETTINGS, false);
}

void CQuillonView::OnCommandSettings() {
  CQuillonDoc* doc = GetDocument();
  if (doc == nullptr) return;
  if (m_pConsoleWindow != nullptr) {
    m_pConsoleWindow->SetFocus();
    return;
  }
  doc->SetCommandOpen(true);
  // Returns when the console closes; the console clears the flag itself.
  CCommandDlg dialog(doc->GetCommandConsole());
  m_pConsoleWindow = &dialog;
  dialog.DoModal();
  m_pConsoleWindow = nullptr;
}

void CQuillonView::OnStartPort() {
  CQuillonDoc* doc = GetDocument();
  if (doc == nullptr) return;

  if (IsNetworkStarted()) {
    // Closed means closed: forwarding stops, the socket goes and its local
    // port is free again when this returns.
    TakeReceivedText();
    doc->CloseNetPort();
    SetDlgItemText(IDC_START_PORT, kStartPort);
    SetDlgItemText(IDC_SEND_DATA, kSendData);
    EnableNetworkSettings(true);
    EnableControl(IDC_SEND_DATA, false);
    return;
  }

  // A start that fails in any way leaves the form as it was, with the one
  // message that says what is wrong: the edits stay open for a correction
  // and the statistics keep the ports they had.
  const int localBefore = m_nEditLocalPort;
  const int targetBefore = m_nEditTargetPort;
  const auto fail = [&] {
    m_nEditLocalPort = localBefore;
    m_nEditTargetPort = targetBefore;
  };
  if (!UpdateData(true)) {  // the exchange has said what is wrong
    fail();
    return;
  }
  std::uint8_t a = 0, b = 0, c = 0, d = 0;
  if (m_ipTarget.GetAddress(a, b, c, d) != 4) {
    AfxMessageBox(kAddressIncomplete);
    m_ipTarget.SetFocus();
    fail();
    return;
  }
  // The edits hold 1024..65535 now: every port the user may enter is one a
  // socket is opened for.
  doc->SetNetworkSettings(static_cast<std::uint16_t>(m_nEditLocalPort), StrFormat("%u.%u.%u.%u", a, b, c, d),
                          static_cast<std::uint16_t>(m_nEditTargetPort), FrameSizeForIndex(Selection(IDC_FRAME_SIZE)));
  if (!doc->OpenNetPort()) {
    // The document has shown the message and its cause. No socket is kept,
    // so no frame can leave from a port other than the one the form names.
    doc->CloseNetPort();
    fail();
    return;
  }

  SetDlgItemText(IDC_START_PORT, kClosePort);
  EnableNetworkSettings(false);
  EnableControl(IDC_SEND_DATA, true);
}

void CQuillonView::OnSendData() {
  TakeReceivedText();  // forwarding reads no edit: nothing to check
  CQuillonDoc* doc = GetDocument();
  if (doc == nullptr) return;
  if (GetDlgItemText(IDC_SEND_DATA) == kSendData) {
    doc->StartForwarding();
    SetDlgItemText(IDC_SEND_DATA, kStopSending);
  } else {
    doc->StopForwarding();
    SetDlgItemText(IDC_SEND_DATA, kSendData);
  }
}

void CQuillonView::OnTimer(unsigned nIdEvent) {
  if (nIdEvent == STATS_TIMER) {
    BuildStatistics(false);
  } else if (nIdEvent == DISPLAY_TIMER) {
    RefreshDisplay();
  }
  CFormView::OnTimer(nIdEvent);
}

std::string CQuillonView::SelectedPortName() const {
  const CComboBox* list = GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT);
  const int index = Selection(IDC_SERIAL_PORT);
  if (list != nullptr && index >= FIXED_PORT_COUNT && index < list->GetCount()) return list->GetLBText(index);
  return PortNameForIndex(index);
}

void CQuillonView::RefreshPortList() {
  CComboBox* list = GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT);
  if (list == nullptr) return;
  const bool deviceChosen = Selection(IDC_SERIAL_PORT) >= FIXED_PORT_COUNT;
  const std::string selected = SelectedPortName();
  while (list->GetCount() > FIXED_PORT_COUNT) list->DeleteString(list->GetCount() - 1);
  for (const SerialPortInfo& port : ListSerialPorts()) {
    const int at = list->AddString(port.path);
    std::string tip = port.byId.empty() ? std::string() : port.byId + "\n";
    tip += Utf8ToGbk(port.Description());
    list->SetItemTip(at, tip);
  }
  // A chosen device that has gone stays chosen: the user sees what would be
  // opened rather than another port.
  int found = list->FindStringExact(-1, selected);
  if (found == CB_ERR && deviceChosen) found = list->AddString(selected);
  if (found != CB_ERR) list->SetCurSel(found);
}

void CQuillonView::ShowStatusMessage(const std::string& text) {
  if (text == m_strStatusShown) return;
  m_strStatusShown = text;
  if (CFrameWnd* frame = GetParentFrame()) frame->SetMessageText(text);
}

void CQuillonView::TakeReceivedText() { m_strReceived = GetDlgItemText(IDC_RECEIVE_PANE); }

void CQuillonView::RefreshDisplay() {
  CQuillonDoc* doc = GetDocument();
  CEdit* pane = GetDlgItemAs<CEdit>(IDC_RECEIVE_PANE);
  if (doc == nullptr || pane == nullptr) return;
  const bool empty = PastReceivedTextLimit(doc->GetDisplayBytes());
  if (empty) doc->ResetDisplayBytes();
  ShowReceivedText(*pane, empty, doc->TakeDisplayText());
}

void CQuillonView::BuildStatistics(bool bInitial) {
  CQuillonDoc* doc = GetDocument();
  const bool fresh = bInitial || doc == nullptr;
  const bool started = IsNetworkStarted() && doc != nullptr;
  const std::string sendError = SendErrorCause();

  m_serialStats.RemoveAll();
  m_serialStats.SetString("串口号", SelectedPortName());
  m_serialStats.SetString("接收量", fresh ? std::string("0字节") : StrFormat("%llu字节", static_cast<unsigned long long>(doc->GetBytesReceived())));
  // A connected port that hung up reads "断开" until it is open again.
  const int lostState = fresh ? 0 : doc->GetPortLostState();
  m_serialStats.SetString("当前状态", lostState != 0 ? kStateLost : SerialStateText());
  // What the driver dropped or received damaged since the port was
  // connected: asked of the driver here, twice a second, never per byte.
  SerialErrorCounts driverErrors;
  if (fresh || doc->GetDriverErrorCounts(&driverErrors) != 1) driverErrors = SerialErrorCounts();
  ShowStatusMessage(StatusMessage(lostState, sendError, driverErrors));

  // The network rows say what is in use: the target only while the port is
  // started, and "发送失败" while its sends fail.
  m_netStats.RemoveAll();
  m_netStats.SetString("本地端口", StrFormat("%d", m_nEditLocalPort));
  m_netStats.SetString("目标端口", StrFormat("%d", m_nEditTargetPort));
  m_netStats.SetString("目标IP", started ? doc->GetTargetIp() : std::string());
  m_netStats.SetString("传输帧数", fresh ? std::string("0帧") : StrFormat("%llu帧", static_cast<unsigned long long>(doc->GetFramesSent())));
  m_netStats.SetString("当前状态", !started ? kStateClosed : (sendError.empty() ? kStateOpen : kStateSendFailing));

  m_stats.RemoveAll();
  if (m_serialStats.GetSize() > 0) {
    m_stats.SetParameters("串口信息", m_serialStats);
  }
  if (m_netStats.GetSize() > 0) {
    m_stats.SetParameters("网口信息", m_netStats);
  }
  m_listStats.SetDisplayParameters(m_stats);
  m_listStats.RefreshRows(false);
  // Names as wide as the longest, values in the room left and never less
  // than the longest value: "4294967295字节" or a device path stays whole.
  m_listStats.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
  m_listStats.SetColumnWidth(2, LVSCW_AUTOSIZE_USEHEADER);
}

std::string CQuillonView::SendErrorCause() const {
  CQuillonDoc* doc = GetDocument();
  if (doc == nullptr || !IsNetworkStarted()) return std::string();
  return doc->GetSendErrorCause();
}

// A lost serial port matters most: nothing reaches the network without it.
std::string CQuillonView::StatusMessage(int nLostState, const std::string& sendError,
                                        const SerialErrorCounts& driverErrors) const {
  if (nLostState == SERIAL_PORT_GONE) return kPortGoneMessage;
  if (nLostState == SERIAL_PORT_OTHER_DEVICE) return kOtherDeviceMessage;
  if (nLostState != 0) return kPortLostMessage;
  if (!sendError.empty()) return kSendFailedMessage + sendError;
  if (driverErrors.Dropped() != 0 || driverErrors.parity != 0 || driverErrors.frame != 0) {
    return StrFormat("串口驱动丢失 %u 字节（接收溢出），校验错 %u，帧错 %u", driverErrors.Dropped(),
                     driverErrors.parity, driverErrors.frame);
  }
  return kReadyMessage;
}

// The "当前状态" rows follow the buttons, which change only when the port
// really opened or the network port was started.
const char* CQuillonView::SerialStateText() const {
  if (GetDlgItemText(IDC_CONNECT_SERIAL) == kRelease) return kStateOpen;
  return kStateClosed;
}

bool CQuillonView::IsNetworkStarted() const { return GetDlgItemText(IDC_START_PORT) == kClosePort; }

int CQuillonView::Selection(int nId) const {
  const CComboBox* list = GetDlgItemAs<CComboBox>(nId);
  return list != nullptr ? list->GetCurSel() : 0;
}

void CQuillonView::SetSelection(int nId, int nIndex) {
  if (CComboBox* list = GetDlgItemAs<CComboBox>(nId)) {
    list->SetCurSel(nIndex);
  }
}

void CQuillonView::EnableControl(int nId, bool bEnable) {
  if (CWnd* control = GetDlgItem(nId)) {
    control->EnableWindow(bEnable);
  }
}

void CQuillonView::EnableSerialSettings(bool bEnable) {
  for (int id : {IDC_SERIAL_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS}) {
    EnableControl(id, bEnable);
  }
}

void CQuillonView::EnableNetworkSettings(bool bEnable) {
  for (int id : {IDC_TARGET_PORT, IDC_LOCAL_PORT, IDC_TARGET_IP, IDC_FRAME_SIZE}) {
    EnableControl(id, bEnable);
  }
}
