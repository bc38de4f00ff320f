// The main form on the system's own controls: its start-up texts and
// selections, the buttons' captions and enable rules, the two timers, the
// address control as the user types it, and the serial open failure's box.
#include "form_test_support_win32.h"

namespace {

using Win32MainForm = Win32FormTest;

TEST_F(Win32MainForm, StartsWithTheDefaultSelectionsTextsButtonsAndStatistics) {
  const std::vector<std::pair<int, std::string>> lists = {
      {IDC_SERIAL_PORT, "COM1"}, {IDC_BAUD, "115200"}, {IDC_PARITY, "无"},
      {IDC_DATA_BITS, "8"},      {IDC_STOP_BITS, "1"}, {IDC_FRAME_SIZE, "256"}};
  for (const auto& [id, text] : lists) {
    EXPECT_EQ(Caption(id), text) << "list " << id;
    EXPECT_TRUE(Enabled(id)) << "list " << id;
  }
  auto* parity = m_view.GetDlgItemAs<CComboBox>(IDC_PARITY);
  EXPECT_EQ(parity->GetCount(), 3);
  EXPECT_EQ(parity->GetLBText(2), "偶校验");
  EXPECT_EQ(m_view.GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT)->GetLBText(19), "COM20");
  EXPECT_EQ(Caption(IDC_LOCAL_PORT), "2000");
  EXPECT_EQ(Caption(IDC_TARGET_PORT), "3000");
  EXPECT_EQ(m_view.m_ipTarget.GetWindowText(), "192.168.0.1");
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "连接串口");
  EXPECT_EQ(Caption(IDC_START_PORT), "启动端口");
  EXPECT_EQ(Caption(IDC_COMMAND_SETTINGS), "命令设置");
  EXPECT_EQ(Caption(IDC_SEND_DATA), "发送数据");
  EXPECT_FALSE(Enabled(IDC_COMMAND_SETTINGS));
  EXPECT_FALSE(Enabled(IDC_SEND_DATA));
  // The fixed texts as the controls hold them, in UTF-16.
  wchar_t text[32] = {};
  GetWindowTextW(WindowOf(*m_view.GetDlgItem(IDC_CONNECT_SERIAL)), text, 31);
  EXPECT_EQ(std::wstring(text), L"\u8FDE\u63A5\u4E32\u53E3");

  const std::vector<std::pair<std::string, std::string>> rows = {
      {"串口信息", ""},         {"    串口号", "COM1"},   {"    接收量", "0字节"}, {"    当前状态", "关闭"},
      {"网口信息", ""},         {"    本地端口", "2000"}, {"    目标端口", "3000"}, {"    目标IP", ""},
      {"    传输帧数", "0帧"}, {"    当前状态", "关闭"}};
  ASSERT_EQ(m_view.m_listStats.GetItemCount(), static_cast<int>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i);
    EXPECT_EQ(m_view.m_listStats.GetItemText(row, 1), rows[i].first) << "row " << row;
    EXPECT_EQ(m_view.m_listStats.GetItemText(row, 2), rows[i].second) << "row " << row;
  }
  // The frame fits the form exactly, the status bar below it.
  EXPECT_EQ(m_frame.GetClientSize(), m_view.GetTotalSize());
  EXPECT_EQ(m_frame.m_wndStatusBar.GetPaneText(0), "就绪");
}

TEST_F(Win32MainForm, APortThatCannotOpenShowsTheMessageAndTheTimersStillShowWhatArrives) {
  MessageBoxRecorder boxes;
  m_view.GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT)->SetCurSel(19);  // COM20: no such port here
  Click(IDC_CONNECT_SERIAL);
  ASSERT_EQ(boxes.texts, std::vector<std::string>{"串口打开错误 请查看该串口是否已被其他应用程序同时打开"});
  EXPECT_FALSE(boxes.causes[0].empty()) << "the cause as a second paragraph";
  EXPECT_EQ(Caption(IDC_CONNECT_SERIAL), "连接串口");
  for (int id : {IDC_SERIAL_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS}) {
    EXPECT_TRUE(Enabled(id)) << "list " << id;
  }
  EXPECT_FALSE(Enabled(IDC_COMMAND_SETTINGS));

  // Timer 22222 was started by the click all the same: what the document
  // receives reaches the pane in its display form; timer 11111 counts it.
  Feed(std::string("Hi\r\n\x7f\xb0!", 7));
  EXPECT_TRUE(WaitFor([&] { return Caption(IDC_RECEIVE_PANE) == "Hi..\x7f.!"; })) << Caption(IDC_RECEIVE_PANE);
  EXPECT_TRUE(WaitFor([&] { return m_view.m_listStats.GetItemText(2, 2) == "7字节"; }));
  EXPECT_EQ(m_view.m_listStats.GetItemText(1, 2), "COM20");
}

TEST_F(Win32MainForm, TheNetworkButtonsFollowTheirCaptionsAndTheTypedAddressIsTheTarget) {
  MessageBoxRecorder boxes;
  // The address as the user types it into the address control.
  m_view.m_ipTarget.ClearAddress();
  m_view.m_ipTarget.SetFocus();
  TypeText("127.0.0.1");
  EXPECT_EQ(m_view.m_ipTarget.GetWindowText(), "127.0.0.1");
  m_view.SetDlgItemText(IDC_LOCAL_PORT, "47311");
  m_view.SetDlgItemText(IDC_TARGET_PORT, "47312");

  Click(IDC_START_PORT);
  EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
  EXPECT_EQ(Caption(IDC_START_PORT), "关闭端口");
  EXPECT_EQ(m_doc->GetTargetIp(), "127.0.0.1");
  for (int id : {IDC_LOCAL_PORT, IDC_TARGET_PORT, IDC_TARGET_IP, IDC_FRAME_SIZE}) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(Enabled(IDC_SEND_DATA));
  EXPECT_TRUE(WaitFor([&] { return m_view.m_listStats.GetItemText(7, 2) == "127.0.0.1"; }));

  Click(IDC_SEND_DATA);
  EXPECT_EQ(Caption(IDC_SEND_DATA), "停止发送");
  EXPECT_TRUE(m_doc->IsForwarding());
  Click(IDC_SEND_DATA);
  EXPECT_EQ(Caption(IDC_SEND_DATA), "发送数据");

  Click(IDC_START_PORT);
  EXPECT_EQ(Caption(IDC_START_PORT), "启动端口");
  for (int id : {IDC_LOCAL_PORT, IDC_TARGET_PORT, IDC_TARGET_IP, IDC_FRAME_SIZE}) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_FALSE(Enabled(IDC_SEND_DATA));

  // A port that is no number: one message, and the form stays as it was.
  m_view.SetDlgItemText(IDC_TARGET_PORT, "30x0");
  Click(IDC_START_PORT);
  EXPECT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(Caption(IDC_START_PORT), "启动端口");
}

}  // namespace
