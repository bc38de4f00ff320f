// Template 101, the main form: every control with its identifier, kind,
// text, rectangle (dialog units: x, y, width, height) and initial state, in
// the order that is also the keyboard focus order. A combo box's height is
// that of its dropped-down list.
#include "ui/quillon_view.h"

#include "bridge/quillon_doc.h"
#include "device/serial_settings.h"

namespace {

CControlTemplate Label(const char* text, int x, int y, int cx, int cy) {
  return {IDC_STATIC, CtlKind::Static, text, x, y, cx, cy, SS_LEFT, 0, {}};
}

CControlTemplate Group(const char* text, int x, int y, int cx, int cy) {
  return {IDC_STATIC, CtlKind::GroupBox, text, x, y, cx, cy, 0, 0, {}};
}

CControlTemplate List(int id, std::vector<std::string> items, int x, int y, int cx, int cy) {
  return {id, CtlKind::DropDownList, "", x, y, cx, cy, WS_VSCROLL | WS_TABSTOP, 0, std::move(items)};
}

CControlTemplate Button(int id, const char* text, int x, int y, int cx, int cy, unsigned long extra = 0) {
  return {id, CtlKind::PushButton, text, x, y, cx, cy, BS_PUSHBUTTON | WS_TABSTOP | extra, 0, {}};
}

CControlTemplate PortEdit(int id, int x, int y) {
  return {id, CtlKind::Edit, "", x, y, 40, 14, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, {}};
}

std::vector<std::string> PortItems() {
  std::vector<std::string> items;
  for (int i = 0; i < 20; ++i) {
    items.push_back(PortNameForIndex(i));
  }
  return items;
}

CDialogTemplate MakeTemplate() {
  CDialogTemplate t;
  t.nId = IDD_QUILLON_FORM;
  t.cx = 506;
  t.cy = 300;
  t.strFontName = "宋体";
  t.nFontPointSize = 9;
  t.dwStyle = WS_CHILD;
  t.controls = {
      Group("串口数据", 7, 5, 287, 143),
      {IDC_RECEIVE_PANE, CtlKind::Edit, "", 14, 16, 272, 121,
       ES_MULTILINE | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 0, {}},
      Group("统计信息", 298, 5, 202, 143),
      {IDC_STATS_LIST, CtlKind::ListView, "", 305, 16, 186, 121, LVS_REPORT | WS_BORDER | WS_TABSTOP, 0, {}},

      Group("串口设置", 7, 152, 492, 40),
      Label("选择串口：", 16, 171, 41, 8),
      List(IDC_SERIAL_PORT, PortItems(), 61, 169, 43, 188),
      Label("波特率：", 110, 171, 36, 8),
      List(IDC_BAUD, BaudRateItems(), 147, 169, 43, 67),
      Label("校验：", 198, 171, 27, 8),
      List(IDC_PARITY, ParityItems(), 225, 169, 31, 67),
      Label("数据位：", 262, 171, 32, 8),
      List(IDC_DATA_BITS, DataBitItems(), 296, 169, 31, 67),
      Label("停止位：", 333, 171, 32, 8),
      List(IDC_STOP_BITS, StopBitItems(), 367, 169, 31, 67),
      Button(IDC_CONNECT_SERIAL, "连接串口", 408, 168, 39, 14),
      Button(IDC_COMMAND_SETTINGS, "命令设置", 453, 168, 39, 14, WS_DISABLED),

      Group("网络设置", 7, 196, 492, 40),
      Label("本地端口：", 17, 216, 41, 8),
      PortEdit(IDC_LOCAL_PORT, 60, 213),
      Label("目标端口：", 104, 216, 41, 8),
      PortEdit(IDC_TARGET_PORT, 146, 213),
      Label("目标IP：", 190, 216, 33, 8),
      {IDC_TARGET_IP, CtlKind::IpAddress, "", 228, 212, 100, 15, WS_TABSTOP, 0, {}},
      Label("帧大小：", 332, 216, 33, 8),
      List(IDC_FRAME_SIZE, FrameSizeItems(), 368, 214, 31, 67),
      Button(IDC_START_PORT, "启动端口", 408, 213, 39, 14),
      Button(IDC_SEND_DATA, "发送数据", 453, 213, 39, 14, WS_DISABLED),

      {IDC_STATIC, CtlKind::Frame, "", 7, 244, 492, 34, 0, 0, {}},
      Label("Quillon 串口转网口助手  作者：Quillon 开发组  问题与建议请在项目主页提交", 43, 257, 411, 8),
      Label("Ver:1.1", 468, 281, 29, 8),
  };
  return t;
}

}  // namespace

const std::vector<std::string>& BaudRateItems() {
  static const std::vector<std::string> items = {"460800", "115200", "56000", "38400", "19200", "9600", "4800"};
  return items;
}

// The parities the device knows, as many as the form offers.
const std::vector<std::string>& ParityItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> names;
    for (int i = 0; i < FORM_PARITY_COUNT; ++i) names.push_back(SERIAL_PARITIES[i].szName);
    return names;
  }();
  return items;
}

// Every data-bit count the device can apply, the most first.
const std::vector<std::string>& DataBitItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> bits;
    for (int n = SERIAL_DATA_BITS_MAX; n >= SERIAL_DATA_BITS_MIN; --n) bits.push_back(std::to_string(n));
    return bits;
  }();
  return items;
}

const std::vector<std::string>& StopBitItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> bits;
    for (int n = SERIAL_STOP_BITS_MIN; n <= SERIAL_STOP_BITS_MAX; ++n) bits.push_back(std::to_string(n));
    return bits;
  }();
  return items;
}

const std::vector<std::string>& FrameSizeItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> sizes;
    for (int size : FRAME_SIZES) sizes.push_back(std::to_string(size));
    return sizes;
  }();
  return items;
}

const CDialogTemplate& QuillonViewTemplate() {
  static const CDialogTemplate formTemplate = MakeTemplate();
  return formTemplate;
}
