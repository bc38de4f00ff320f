// The main form on the real widgets: start-up state, the four buttons with
// their captions and enable rules, the two timers, and the network path to a
// receiver on 127.0.0.1.
#include "ui/quillon_view.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/file.h>

#include <QAbstractItemView>
#include <QClipboard>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/app_test_support.h"
#include "platform/window/qt/qt_ip_address.h"
#include "bridge/received_text.h"

namespace {

const char* const kSerialOpenError = "串口打开错误 请查看该串口是否已被其他应用程序同时打开";

using MainForm = QuillonAppTest;

std::string Bytes(std::size_t count, char c) { return std::string(count, c); }

// Whether another program could bind the UDP port on all interfaces now.
bool PortIsFree(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  return bound;
}

std::string Pattern(std::size_t count, int start = 0) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<char>((start + i) % 251));
  return out;
}

TEST_F(MainForm, StartsWithTheDefaultSelectionsAddressButtonsAndStatistics) {
  const std::vector<std::pair<int, std::string>> lists = {
      {IDC_SERIAL_PORT, "COM1"}, {IDC_BAUD, "115200"}, {IDC_PARITY, "无"},
      {IDC_DATA_BITS, "8"},      {IDC_STOP_BITS, "1"}, {IDC_FRAME_SIZE, "256"}};
  for (const auto& [id, text] : lists) {
    EXPECT_EQ(Caption(id), text) << "list " << id;
    EXPECT_TRUE(Enabled(id)) << "list " << id;
  }
  EXPECT_GE(qobject_cast<QComboBox*>(Control(IDC_SERIAL_PORT))->count(), 20) << "then the devices present";
  EXPECT_EQ(QStringToGbk(qobject_cast<QComboBox*>(Control(IDC_SERIAL_PORT))->itemText(19)), "COM20");
  // Every item of the value lists, in order: the texts the device is given.
  const std::vector<std::pair<int, std::vector<std::string>>> items = {
      {IDC_BAUD, {"460800", "115200", "56000", "38400", "19200", "9600", "4800"}},
      {IDC_PARITY, {"无", "奇校验", "偶校验"}},
      {IDC_DATA_BITS, {"8", "7", "6", "5"}},
      {IDC_STOP_BITS, {"1", "2"}},
      {IDC_FRAME_SIZE, {"128", "256", "512", "1024"}}};
  for (const auto& [id, expected] : items) {
    auto* list = qobject_cast<QComboBox*>(Control(id));
    std::vector<std::string> shown;
    for (int i = 0; i < list->count(); ++i) shown.push_back(QStringToGbk(list->itemText(i)));
    EXPECT_EQ(shown, expected) << "list " << id;
  }

  EXPECT_EQ(Caption(IDC_LOCAL_PORT), "2000");
  EXPECT_EQ(Caption(IDC_TARGET_PORT), "3000");
  EXPECT_EQ(View()->m_ipTarget.GetWindowText(), "192.168.0.1");
  EXPECT_EQ(PaneText(), "");

  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "连接串口");
  EXPECT_EQ(Caption(IDC_START_PORT), "启动端口");
  EXPECT_EQ(Caption(IDC_COMMAND_SETTINGS), "命令设置");
  EXPECT_EQ(Caption(IDC_SEND_DATA), "发送数据");
  EXPECT_TRUE(Enabled(IDC_CONNECT_SERIAL));
  EXPECT_TRUE(Enabled(IDC_START_PORT));
  EXPECT_FALSE(Enabled(IDC_COMMAND_SETTINGS));
  EXPECT_FALSE(Enabled(IDC_SEND_DATA));

  const std::vector<std::pair<std::string, std::string>> rows = {
      {"串口信息", ""},         {"    串口号", "COM1"},   {"    接收量", "0字节"}, {"    当前状态", "关闭"},
      {"网口信息", ""},         {"    本地端口", "2000"}, {"    目标端口", "3000"}, {"    目标IP", ""},
      {"    传输帧数", "0帧"}, {"    当前状态", "关闭"}};
  ASSERT_EQ(View()->m_listStats.GetItemCount(), static_cast<int>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i);
    EXPECT_EQ(View()->m_listStats.GetItemText(row, 0), std::to_string(row + 1));
    EXPECT_EQ(StatName(row), rows[i].first) << "row " << row;
    EXPECT_EQ(StatValue(row), rows[i].second) << "row " << row;
  }

  // The form's fixed texts, read back from the widgets.
  const CDialogTemplate& form = QuillonViewTemplate();
  EXPECT_EQ(form.nId, 101u);
  EXPECT_EQ(View()->GetTotalSize(), (CSize{759, 450}));
  ASSERT_NE(form.FindControl(IDC_COMMAND_SETTINGS), nullptr);
  EXPECT_EQ(form.controls.back().strText, "Ver:1.1");
}

// Every text of the form whole, at start-up and with each value of each
// list selected (of the port list: COM1 to COM20) (the dialog-unit geometry stays; the font and the combo
// boxes' arrow leave the texts the room they had in the Win32 dialog font).
TEST_F(MainForm, EveryTextFitsItsControlWithEveryListValueSelected) {
  QWidget* form = WidgetOf(*View());
  EXPECT_EQ(ClippedTexts(form), std::vector<std::string>{});
  for (int id : {IDC_SERIAL_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS, IDC_FRAME_SIZE}) {
    auto* list = qobject_cast<QComboBox*>(Control(id));
    // The port list's own entries; the device paths below them are checked
    // against the open list, which is as wide as its longest entry.
    const int count = id == IDC_SERIAL_PORT ? FIXED_PORT_COUNT : list->count();
    for (int i = 0; i < count; ++i) {
      list->setCurrentIndex(i);
      EXPECT_EQ(ClippedTexts(list->parentWidget()), std::vector<std::string>{}) << "list " << id << " item " << i;
    }
  }
  // The widest values the edits and the address may hold.
  View()->SetDlgItemText(IDC_LOCAL_PORT, "65535");
  View()->m_ipTarget.SetAddress(255, 255, 255, 255);
  EXPECT_EQ(ClippedTexts(form), std::vector<std::string>{});
}

TEST_F(MainForm, ConnectsAMappedPortShowsItsBytesAndReleasesIt) {
  Select(IDC_PARITY, 1);   // 奇校验
  Select(IDC_DATA_BITS, 1);  // 7
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  ASSERT_TRUE(m_messages.empty());
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");
  for (int id : {IDC_SERIAL_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS}) {
    EXPECT_FALSE(Enabled(id)) << "list " << id;
  }
  EXPECT_TRUE(Enabled(IDC_COMMAND_SETTINGS));
  EXPECT_TRUE(Doc()->IsSerialOpen());

  // The selections reached the device (a pty itself keeps 8 bits, no parity).
  const CParameters serial = Doc()->GetSerialSettings();
  const auto setting = [&](const char* name) {
    std::string text;
    serial.GetString(name, text);
    return text;
  };
  EXPECT_EQ(setting("Port"), "COM3");
  EXPECT_EQ(setting("Baud"), "115200");
  EXPECT_EQ(setting("Parity"), "奇校验");
  EXPECT_EQ(setting("DataBit"), "7");
  EXPECT_EQ(setting("StopBit"), "1");

  // Timer 22222 moves the bytes into the pane in their display form.
  Feed(std::string("Hi\r\n\x7f\xb0!", 7));
  EXPECT_TRUE(WaitFor([&] { return PaneText() == "Hi..\x7f.!"; })) << PaneText();
  // Timer 11111 shows the counts.
  EXPECT_TRUE(WaitFor([&] { return StatValue(2) == "7字节"; })) << StatValue(2);
  EXPECT_EQ(StatValue(1), "COM3");
  EXPECT_EQ(StatValue(3), "打开") << "the serial row's state while connected";
  EXPECT_EQ(StatValue(9), "关闭") << "the network port is not started";

  Click(IDC_CONNECT_SERIAL);
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "连接串口");
  EXPECT_TRUE(WaitFor([&] { return StatValue(3) == "关闭"; })) << StatValue(3);
  for (int id : {IDC_SERIAL_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS}) {
    EXPECT_TRUE(Enabled(id)) << "list " << id;
  }
  EXPECT_FALSE(Enabled(IDC_COMMAND_SETTINGS));
  EXPECT_FALSE(Doc()->IsSerialOpen());

  // Connecting again opens the same port afresh.
  Click(IDC_CONNECT_SERIAL);
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");
  Feed("again");
  EXPECT_TRUE(WaitFor([&] { return PaneText() == std::string("Hi..\x7f.!again"); })) << PaneText();
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(MainForm, APortThatAnotherProgramHoldsShowsTheMessageAndChangesNothing) {
  if (!MapPtyAsCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  // Another program has the port: it holds the lock that every opener takes.
  const int other = open(m_pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);

  Click(IDC_CONNECT_SERIAL);
  EXPECT_EQ(m_messages, std::vector<std::string>{kSerialOpenError});
  EXPECT_EQ(m_causes, std::vector<std::string>{"原因：" + m_pty.path + " 正被其他程序使用"});
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "连接串口");
  for (int id : {IDC_SERIAL_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS}) {
    EXPECT_TRUE(Enabled(id)) << "list " << id;
  }
  EXPECT_FALSE(Enabled(IDC_COMMAND_SETTINGS));
  EXPECT_FALSE(Doc()->IsSerialOpen());

  // Once the other program lets go, the same click connects.
  close(other);
  m_messages.clear();
  Click(IDC_CONNECT_SERIAL);
  EXPECT_TRUE(m_messages.empty());
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");
}

// The range the edits accept is the range that opens: 1024 and 65535 too.
TEST_F(MainForm, EveryPortTheEditsAcceptOpensASocketThatClosePortFrees) {
  TargetLoopback();
  for (const char* port : {"1024", "65535"}) {
    const std::uint16_t localPort = FreeUdpPort();
    Type(IDC_LOCAL_PORT, std::to_string(localPort).c_str());
    Type(IDC_TARGET_PORT, port);
    Click(IDC_START_PORT);
    EXPECT_EQ(Caption(IDC_START_PORT), "关闭端口") << port;
    EXPECT_TRUE(SocketOpen()) << port;
    EXPECT_FALSE(PortIsFree(localPort)) << port;
    EXPECT_EQ(Doc()->GetTargetPort(), static_cast<std::uint16_t>(std::stoi(port)));
    for (int id : {IDC_TARGET_PORT, IDC_LOCAL_PORT, IDC_TARGET_IP, IDC_FRAME_SIZE}) {
      EXPECT_FALSE(Enabled(id)) << "control " << id;
    }
    EXPECT_TRUE(Enabled(IDC_SEND_DATA));

    Click(IDC_START_PORT);
    EXPECT_EQ(Caption(IDC_START_PORT), "启动端口");
    EXPECT_FALSE(SocketOpen()) << port;
    EXPECT_TRUE(PortIsFree(localPort)) << "free at once for another program";
    for (int id : {IDC_TARGET_PORT, IDC_LOCAL_PORT, IDC_TARGET_IP, IDC_FRAME_SIZE}) {
      EXPECT_TRUE(Enabled(id)) << "control " << id;
    }
    EXPECT_FALSE(Enabled(IDC_SEND_DATA));
  }
  EXPECT_TRUE(m_messages.empty()) << m_messages.front();
}

// Whatever is wrong, a start that fails shows one message that says so and
// leaves the form as it was: "启动端口", the edits open, no socket, the
// statistics' ports unchanged. Neither the serial button nor a second look
// brings the message back, and once the entry is right the same click opens
// the port the form names.
TEST_F(MainForm, AStartThatFailsLeavesTheFormAsItWasWithOneMessage) {
  UdpReceiver holder;  // another program on the local port
  ASSERT_TRUE(holder.Open());
  const std::string busy = std::to_string(holder.Port());
  const std::string range = "请输入一个介于 1024 和 65535 之间的整数。";
  struct Case {
    const char* local;
    const char* target;
    bool fullAddress;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"2001", "30x", true, "请输入一个整数。"},   {"2001", "70000", true, range},
      {"ab99999", "3001", true, "请输入一个整数。"}, {"1023", "3001", true, range},
      {"2001", "3001", false, "请输入完整的目标IP地址。"}, {busy.c_str(), "3001", true, "网络端口绑定失败，请更换端口号！"}};
  for (const Case& c : cases) {
    TargetLoopback();
    if (!c.fullAddress) static_cast<QuillonIpAddressEdit*>(Control(IDC_TARGET_IP))->FieldEdit(3)->clear();
    Type(IDC_LOCAL_PORT, c.local);
    Type(IDC_TARGET_PORT, c.target);
    m_messages.clear();
    m_causes.clear();
    Click(IDC_START_PORT);
    EXPECT_EQ(m_messages, std::vector<std::string>{c.message}) << c.local << " / " << c.target;
    EXPECT_EQ(Caption(IDC_START_PORT), "启动端口") << c.local << " / " << c.target;
    EXPECT_FALSE(SocketOpen()) << c.local << " / " << c.target;
    for (int id : {IDC_TARGET_PORT, IDC_LOCAL_PORT, IDC_TARGET_IP, IDC_FRAME_SIZE}) {
      EXPECT_TRUE(Enabled(id)) << "control " << id;
    }
    EXPECT_FALSE(Enabled(IDC_SEND_DATA));
    // The serial button does not read the port edits: no message from it.
    Click(IDC_CONNECT_SERIAL);
    Click(IDC_CONNECT_SERIAL);
    EXPECT_EQ(m_messages.size(), 1u) << c.local << " / " << c.target;
    EXPECT_TRUE(WaitFor([&] { return StatValue(5) == "2000" && StatValue(6) == "3000" && StatValue(9) == "关闭"; }))
        << StatValue(5) << " " << StatValue(6) << " " << StatValue(9);
  }
  ASSERT_FALSE(m_causes.empty());
  EXPECT_EQ(m_causes.back(), "原因：本地端口 " + busy + " 已被其他程序占用");

  // Corrected: frames leave from the port the form names.
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  const std::uint16_t localPort = FreeUdpPort();
  Type(IDC_LOCAL_PORT, std::to_string(localPort).c_str());
  Type(IDC_TARGET_PORT, std::to_string(receiver.Port()).c_str());
  Select(IDC_FRAME_SIZE, 0);
  m_messages.clear();
  Click(IDC_START_PORT);
  Click(IDC_SEND_DATA);
  ASSERT_TRUE(m_messages.empty()) << m_messages.front();
  Feed(Pattern(128));
  UdpReceiver::Datagram got;
  ASSERT_TRUE(receiver.Receive(got));
  EXPECT_EQ(got.fromPort, localPort);
}

// COM1 to COM20 head the list, the devices present follow by path with
// their tooltips, opening the list refreshes them and keeps the chosen one,
// and a chosen path connects and names the port in the statistics.
TEST_F(MainForm, ThePortListOffersDevicesByPathAndAChosenPathConnects) {
  if (!m_pty.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  auto* combo = qobject_cast<QComboBox*>(Control(IDC_SERIAL_PORT));
  ASSERT_GE(combo->count(), 20);
  EXPECT_EQ(QStringToGbk(combo->itemText(0)), "COM1");
  EXPECT_EQ(QStringToGbk(combo->itemText(19)), "COM20");
  for (int i = 20; i < combo->count(); ++i) {
    EXPECT_EQ(QStringToGbk(combo->itemText(i)).rfind("/dev/", 0), 0u) << QStringToGbk(combo->itemText(i));
    EXPECT_FALSE(combo->itemData(i, Qt::ToolTipRole).toString().isEmpty());
  }
  // A pseudo-terminal is no device the list finds: it stands in for one.
  const int at = View()->GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT)->AddString(m_pty.path);
  Select(IDC_SERIAL_PORT, at);
  combo->showPopup();
  EXPECT_EQ(QStringToGbk(combo->currentText()), m_pty.path) << "the chosen device stays chosen";
  EXPECT_GE(combo->view()->width(), combo->fontMetrics().horizontalAdvance(combo->currentText()));
  combo->hidePopup();

  Click(IDC_CONNECT_SERIAL);
  ASSERT_TRUE(m_messages.empty()) << m_causes.front();
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");
  EXPECT_TRUE(WaitFor([&] { return StatValue(1) == m_pty.path; })) << StatValue(1);
  Feed("path!");
  EXPECT_TRUE(WaitFor([&] { return PaneText() == "path!"; })) << PaneText();
  // A pseudo-terminal chosen by its own name does not come back: the form
  // says so instead of waiting.
  m_pty.Unplug();
  EXPECT_TRUE(WaitFor([&] {
    return StatValue(3) == "断开" &&
           Frame()->m_wndStatusBar.GetPaneText(0) == "串口已断开，伪终端不会重新连接，请释放串口";
  })) << StatValue(3) << " / " << Frame()->m_wndStatusBar.GetPaneText(0);
}

// The adapter is pulled out mid-frame and plugged in again under the name
// COM3 maps to: the form says so while it is gone, then the frames that
// follow are exact and the counters go on; "释放串口" works while it is gone.
TEST_F(MainForm, AnUnpluggedPortShowsDisconnectedThenGoesOnWithExactFrames) {
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  PtyPair second;
  if (!m_pty.Open() || !second.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  const std::string link = m_tempDir / "ttyUSB0";
  ASSERT_TRUE(PointLink(link, m_pty.path));
  ASSERT_TRUE(m_tempDir.WriteFile("ConfigFile/ports.ini", "[Ports]\r\nCOM3=" + link + "\r\n"));
  Select(IDC_SERIAL_PORT, 2);
  Click(IDC_CONNECT_SERIAL);
  ASSERT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");
  TargetLoopback();
  Type(IDC_LOCAL_PORT, std::to_string(FreeUdpPort()).c_str());
  Type(IDC_TARGET_PORT, std::to_string(receiver.Port()).c_str());
  Select(IDC_FRAME_SIZE, 0);  // 128
  Click(IDC_START_PORT);
  Click(IDC_SEND_DATA);
  ASSERT_TRUE(m_messages.empty());

  const auto state = [&] { return StatValue(3); };  // the serial side's "当前状态"
  const auto message = [&] { return Frame()->m_wndStatusBar.GetPaneText(0); };
  ASSERT_NE(StatName(3).find("当前状态"), std::string::npos);
  const std::string sent = Pattern(384);
  Feed(sent.substr(0, 200));
  UdpReceiver::Datagram got;
  ASSERT_TRUE(receiver.Receive(got));
  EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(sent.begin(), sent.begin() + 128));

  m_pty.Unplug();
  EXPECT_TRUE(WaitFor([&] { return state() == "断开" && message() == "串口已断开，等待重新连接…"; }))
      << state() << " / " << message();
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "释放串口");

  ASSERT_TRUE(PointLink(link, second.path));
  EXPECT_TRUE(WaitFor([&] { return state() != "断开" && message() == "就绪"; })) << state() << " / " << message();
  ASSERT_TRUE(second.WriteMaster(sent.data() + 200, 184));
  for (int frame = 1; frame < 3; ++frame) {
    ASSERT_TRUE(receiver.Receive(got)) << "frame " << frame;
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(sent.begin() + frame * 128, sent.begin() + (frame + 1) * 128));
  }
  EXPECT_TRUE(WaitFor([&] { return StatValue(2) == "384字节" && StatValue(8) == "3帧"; }))
      << StatValue(2) << " / " << StatValue(8);

  second.Unplug();
  ASSERT_TRUE(WaitFor([&] { return state() == "断开"; }));
  Click(IDC_CONNECT_SERIAL);
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "连接串口");
  EXPECT_FALSE(Doc()->IsSerialOpen());
  EXPECT_EQ(message(), "就绪");
}

TEST_F(MainForm, ForwardsExactFramesToTheReceiverUntilClosePort) {
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  const std::uint16_t localPort = FreeUdpPort();
  ASSERT_GT(localPort, 1024);
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";

  TargetLoopback();
  Type(IDC_LOCAL_PORT, std::to_string(localPort).c_str());
  Type(IDC_TARGET_PORT, std::to_string(receiver.Port()).c_str());
  Select(IDC_FRAME_SIZE, 0);  // 128
  Click(IDC_START_PORT);
  ASSERT_TRUE(m_messages.empty());
  ASSERT_TRUE(SocketOpen());
  EXPECT_EQ(Doc()->GetTargetIp(), "127.0.0.1");

  Click(IDC_SEND_DATA);
  EXPECT_EQ(Caption(IDC_SEND_DATA), "停止发送");
  EXPECT_TRUE(Doc()->IsForwarding());

  const std::string sent = Pattern(300);
  Feed(sent);
  for (int frame = 0; frame < 2; ++frame) {
    UdpReceiver::Datagram datagram;
    ASSERT_TRUE(receiver.Receive(datagram)) << "frame " << frame;
    EXPECT_EQ(datagram.bytes, std::vector<std::uint8_t>(sent.begin() + frame * 128, sent.begin() + (frame + 1) * 128));
    EXPECT_EQ(datagram.fromPort, localPort);
  }
  UdpReceiver::Datagram extra;
  EXPECT_FALSE(receiver.ReceiveFor(extra, 300)) << "44 bytes wait for the rest of their frame";
  EXPECT_TRUE(WaitFor([&] { return StatValue(8) == "2帧" && StatValue(7) == "127.0.0.1"; })) << StatValue(8);
  EXPECT_EQ(StatValue(9), "打开") << "the network row's state while started";

  // Forwarding off: bytes are shown but never framed.
  Click(IDC_SEND_DATA);
  EXPECT_EQ(Caption(IDC_SEND_DATA), "发送数据");
  Feed(Bytes(200, 'x'));
  EXPECT_TRUE(WaitFor([&] { return Doc()->GetBytesReceived() == 500; }));
  EXPECT_FALSE(receiver.ReceiveFor(extra, 300));

  // On again, then "关闭端口": forwarding stops, the socket goes and the
  // local port is free at once; nothing more leaves.
  Click(IDC_SEND_DATA);
  Click(IDC_START_PORT);
  EXPECT_EQ(Caption(IDC_START_PORT), "启动端口");
  EXPECT_EQ(Caption(IDC_SEND_DATA), "发送数据");
  EXPECT_FALSE(Enabled(IDC_SEND_DATA));
  EXPECT_FALSE(Doc()->IsForwarding());
  EXPECT_FALSE(SocketOpen());
  EXPECT_TRUE(PortIsFree(localPort));
  EXPECT_TRUE(WaitFor([&] { return StatValue(9) == "关闭"; })) << StatValue(9);
  Feed(Pattern(300, 7));
  EXPECT_TRUE(WaitFor([&] { return Doc()->GetBytesReceived() == 800; }));
  EXPECT_FALSE(receiver.ReceiveFor(extra, 300));
  EXPECT_TRUE(WaitFor([&] { return StatValue(8) == "2帧"; })) << StatValue(8);

  // Started again: a fresh socket on the same port, forwarding off until asked.
  Click(IDC_START_PORT);
  ASSERT_TRUE(SocketOpen());
  Click(IDC_SEND_DATA);
  const std::string again = Pattern(128, 3);
  Feed(again);
  UdpReceiver::Datagram next;
  ASSERT_TRUE(receiver.Receive(next));
  EXPECT_EQ(next.fromPort, localPort);
  EXPECT_EQ(next.bytes.size(), 128u);
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(MainForm, DisplayRefreshEmptiesThePanePast30000BytesAndAppendsAtTheEnd) {
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  Feed("abcdef");
  ASSERT_TRUE(WaitFor([&] { return PaneText() == "abcdef"; }));

  // The user clicks into the middle of the text: new bytes still go to the end.
  auto* pane = qobject_cast<QPlainTextEdit*>(Control(IDC_RECEIVE_PANE));
  ASSERT_NE(pane, nullptr);
  QTextCursor cursor = pane->textCursor();
  cursor.setPosition(2);
  cursor.setPosition(4, QTextCursor::KeepAnchor);
  pane->setTextCursor(cursor);
  Feed("XYZ");
  ASSERT_TRUE(WaitFor([&] { return PaneText().size() >= 9; }));
  EXPECT_EQ(PaneText(), "abcdefXYZ");
  // The selection outlives the refreshes and Ctrl+C copies it.
  const auto copied = [&] {
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier);
    return QGuiApplication::clipboard()->text();
  };
  EXPECT_EQ(pane->textCursor().selectedText(), QStringLiteral("cd"));
  EXPECT_EQ(copied(), QStringLiteral("cd"));

  // The view follows new text while it shows the end; scrolled up, it stays.
  QScrollBar* bar = pane->verticalScrollBar();
  Feed(Bytes(20000, 'b'));
  ASSERT_TRUE(WaitFor([&] { return PaneText().size() == 20009; })) << PaneText().size();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(1);
  Feed("more");
  ASSERT_TRUE(WaitFor([&] { return PaneText().size() == 20013; }));
  EXPECT_EQ(bar->value(), 1);
  EXPECT_EQ(copied(), QStringLiteral("cd"));
  bar->setValue(bar->maximum());
  Feed(Bytes(200, 'c'));
  ASSERT_TRUE(WaitFor([&] { return PaneText().size() == 20213; }));
  EXPECT_EQ(bar->value(), bar->maximum());

  // Exactly 30000 bytes since the pane was emptied: kept.
  Feed(Bytes(30000 - 20213, 'a'));
  ASSERT_TRUE(WaitFor([&] { return PaneText().size() == 30000; })) << PaneText().size();
  // Bounded, over three display ticks: proves the pane is NOT emptied.
  WaitFor([&] { return PaneText().size() != 30000u; }, 3 * DISPLAY_PERIOD_MS);
  EXPECT_EQ(PaneText().size(), 30000u) << "30000 bytes do not empty the pane";

  // One more tick with more than 30000: emptied, then that tick's text.
  Feed("tail!");
  ASSERT_TRUE(WaitFor([&] { return PaneText().size() < 30000; }));
  EXPECT_EQ(PaneText(), "tail!");
  EXPECT_EQ(Doc()->GetDisplayBytes(), 0u);

  // Releasing drops what arrived since the last refresh.
  Click(IDC_CONNECT_SERIAL);
  EXPECT_EQ(Doc()->TakeDisplayText(), "");
}

// Typed with the keyboard, from an empty control and over the default, the
// address is exactly what was typed: the dot after a full field does not skip
// the next one. Nothing is connected or forwarded while these addresses are
// started: they are only read back. Then the user clicks into the default's
// first field before its digits and types, and pastes a dotted address into
// the third field: frames go to the address the fields show.
TEST_F(MainForm, AnAddressTypedOrPastedIsTheTargetExactly) {
  Type(IDC_LOCAL_PORT, std::to_string(FreeUdpPort()).c_str());
  Type(IDC_TARGET_PORT, "1024");
  FrameWidget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(FrameWidget()));
  auto* address = static_cast<QuillonIpAddressEdit*>(Control(IDC_TARGET_IP));
  ASSERT_NE(address, nullptr);
  for (const std::string typed : {"127.0.0.1", "10.1.2.3", "192.168.1.100"}) {
    for (const bool overDefault : {false, true}) {
      if (overDefault) {
        View()->m_ipTarget.SetAddress(192, 168, 0, 1);
      } else {
        View()->m_ipTarget.ClearAddress();
      }
      QTest::mouseDClick(address->FieldEdit(0), Qt::LeftButton);  // selects the field's digits
      for (char c : typed) {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClick(QApplication::focusWidget(), c);
      }
      Click(IDC_START_PORT);
      EXPECT_EQ(Doc()->GetTargetIp(), typed) << (overDefault ? "over the default" : "from empty");
      Click(IDC_START_PORT);  // "关闭端口": the address can be typed again
    }
  }
  EXPECT_FALSE(Doc()->IsForwarding());

  View()->m_ipTarget.SetAddress(192, 168, 0, 1);
  QLineEdit* first = address->FieldEdit(0);
  QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(1, first->height() / 2));
  for (char c : std::string("10.1.2.3")) QTest::keyClick(QApplication::focusWidget(), c);
  EXPECT_EQ(View()->m_ipTarget.GetWindowText(), "10.1.2.3");
  QGuiApplication::clipboard()->setText(QStringLiteral("127.0.0.1"));
  QTest::mouseClick(address->FieldEdit(2), Qt::LeftButton);
  QTest::keyClick(address->FieldEdit(2), Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(View()->m_ipTarget.GetWindowText(), "127.0.0.1");

  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  Type(IDC_TARGET_PORT, std::to_string(receiver.Port()).c_str());
  Click(IDC_START_PORT);
  Click(IDC_SEND_DATA);
  Feed(Pattern(256));
  UdpReceiver::Datagram got;
  EXPECT_TRUE(receiver.Receive(got));
  EXPECT_TRUE(WaitFor([&] { return StatValue(7) == "127.0.0.1"; })) << StatValue(7);
  EXPECT_TRUE(m_messages.empty());
}

// The statistics show all their rows and their longest values whole inside
// the list, and the status bar's panes stay inside the window whatever its
// message.
TEST_F(MainForm, LongValuesShowWholeAndTheStatusBarFitsTheWindow) {
  auto* table = qobject_cast<QTableWidget*>(Control(IDC_STATS_LIST));
  ASSERT_NE(table, nullptr);
  const std::string path = "/dev/ttyUSB10";
  Select(IDC_SERIAL_PORT, View()->GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT)->AddString(path));
  Doc()->SetBytesReceived(4294967295u);
  ASSERT_TRUE(WaitFor([&] { return StatValue(2) == "4294967295字节" && StatValue(1) == path; }));
  for (int row : {1, 2}) {
    const QRect cell = table->visualRect(table->model()->index(row, 2));
    const int needed = table->fontMetrics().horizontalAdvance(table->item(row, 2)->text());
    EXPECT_GE(table->columnWidth(2), needed) << "row " << row;
    EXPECT_LE(cell.left() + needed, table->viewport()->width()) << "row " << row << " needs scrolling to be read";
  }
  // All ten rows show, the network "当前状态" last among them.
  const QRect last = table->visualRect(table->model()->index(table->rowCount() - 1, 2));
  EXPECT_LE(last.bottom(), table->viewport()->height()) << "every row without scrolling";

  QMainWindow* frame = FrameWidget();
  auto* bar = frame->statusBar();
  for (const char* message : {"就绪", "网络发送失败：没有到目标的路由，请检查目标IP和网络连接是否正常"}) {
    Frame()->SetMessageText(message);
    QCoreApplication::processEvents();
    for (QLabel* pane : bar->findChildren<QLabel*>()) {
      const QRect inFrame(pane->mapTo(frame, QPoint(0, 0)), pane->size());
      // Inside, with the border clear of the window's edge.
      EXPECT_TRUE(frame->rect().adjusted(0, 0, -2, 0).contains(inFrame)) << message << ": " << QStringToGbk(pane->text());
    }
  }
}

// While the network port's sends fail, the message pane says so with the
// cause and the network row reads "发送失败", once, not per frame; both go
// back when frames leave again.
TEST_F(MainForm, FailingSendsShowTheirCauseUntilFramesLeaveAgain) {
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  TargetLoopback();
  const std::uint16_t localPort = FreeUdpPort();
  Type(IDC_LOCAL_PORT, std::to_string(localPort).c_str());
  Type(IDC_TARGET_PORT, std::to_string(receiver.Port()).c_str());
  Select(IDC_FRAME_SIZE, 0);
  Click(IDC_START_PORT);
  Click(IDC_SEND_DATA);
  const auto message = [&] { return Frame()->m_wndStatusBar.GetPaneText(0); };
  // No port accepts datagrams at port 0: every send fails.
  Doc()->SetNetworkSettings(localPort, "127.0.0.1", 0, 128);
  Feed(Pattern(128 * 3));
  EXPECT_TRUE(WaitFor([&] { return Doc()->GetFramesFailed() == 3; })) << Doc()->GetFramesFailed();
  EXPECT_TRUE(WaitFor([&] { return message().rfind("网络发送失败：", 0) == 0 && StatValue(9) == "发送失败"; }))
      << message() << " / " << StatValue(9);
  EXPECT_GT(message().size(), std::string("网络发送失败：").size()) << "with its cause";
  EXPECT_TRUE(m_messages.empty()) << "no message box per frame";

  Doc()->SetNetworkSettings(localPort, "127.0.0.1", receiver.Port(), 128);
  Feed(Pattern(128));
  UdpReceiver::Datagram got;
  ASSERT_TRUE(receiver.Receive(got));
  EXPECT_TRUE(WaitFor([&] { return message() == "就绪" && StatValue(9) == "打开"; })) << message() << " / " << StatValue(9);
}

// A device faster than the display: far more than 30000 bytes arrive between
// two ticks. Only the last 30000 display bytes wait, one tick shows exactly
// them in an emptied pane, and the count and the frames see every byte.
TEST_F(MainForm, MoreThanThirtyThousandBytesPerTickKeepThePaneAndTheHandOffBounded) {
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  View()->KillTimer(DISPLAY_TIMER);  // the ticks are the test's own from here
  std::string sent;
  for (int round = 0; round < 2; ++round) {
    const std::string bytes = Pattern(100000, round * 7);
    Feed(bytes);
    sent += bytes;
    ASSERT_TRUE(WaitFor([&] { return Doc()->GetBytesReceived() == sent.size(); }));
    std::string display;
    for (std::size_t i = sent.size() - RECEIVED_TEXT_LIMIT; i < sent.size(); ++i) {
      display.push_back(DisplayCharOf(static_cast<std::uint8_t>(sent[i])));
    }
    View()->OnTimer(DISPLAY_TIMER);
    EXPECT_EQ(PaneText(), display) << "round " << round;
    EXPECT_EQ(Doc()->GetDisplayBytes(), 0u);
    EXPECT_EQ(Doc()->TakeDisplayText(), "") << "the tick took it all";
  }
  Click(IDC_CONNECT_SERIAL);
}

TEST_F(MainForm, OpensTheConsoleFromCommandSettingsWhileThePortRuns) {
  if (!ConnectCom3()) GTEST_SKIP() << "no pseudo-terminal available";
  bool shown = false;
  m_onDialog = [&](QDialog& dialog) {
    shown = true;
    EXPECT_EQ(QStringToGbk(dialog.windowTitle()), "串口命令");
    EXPECT_TRUE(Doc()->IsCommandOpen());
    // The form makes the console's window for this opening only: its
    // transcript is read from the widget, which holds "\n" for "\r\n".
    auto* transcript = dialog.findChild<QPlainTextEdit*>();
    ASSERT_NE(transcript, nullptr);
    Feed("$GPGGA");
    EXPECT_TRUE(WaitFor([&] { return QStringToGbk(transcript->toPlainText()) == "\n$GPGGA"; }))
        << QStringToGbk(transcript->toPlainText());
    // The main form's timers keep running behind the console.
    EXPECT_TRUE(WaitFor([&] { return PaneText() == "$GPGGA"; })) << PaneText();
    QTest::keyClick(&dialog, Qt::Key_Escape);
  };
  Click(IDC_COMMAND_SETTINGS);
  EXPECT_TRUE(shown);
  EXPECT_FALSE(Doc()->IsCommandOpen());
}

}  // namespace
