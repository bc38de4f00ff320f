#include "platform/sys_error.h"

#include <cerrno>
#include <string_view>

namespace {

constexpr unsigned Bit(SysStep step) { return 1u << static_cast<unsigned>(step); }
constexpr unsigned kAnyStep = ~0u;
constexpr unsigned kOpening = Bit(SysStep::kOpen) | Bit(SysStep::kLock);
constexpr unsigned kReading = Bit(SysStep::kPortsFile) | Bit(SysStep::kRead);
constexpr int kAnyCode = -1;

// One cause in both wordings. {subject}, {detail} and {system} are filled in
// from CauseSubject and the system's own text.
struct CauseWords {
  unsigned steps;
  int code;
  const char* chinese;
  const char* english;
};

// Every cause a user can meet, worded once for both audiences. The first row
// that matches the step and the number wins, so a step's catch-all row
// (kAnyCode) comes after its particular rows, and the rows for shortages
// that are the system's, not the port's, come first.
constexpr CauseWords kCauses[] = {
    // A file that is no terminal fails wherever the first terminal request is.
    {kAnyStep, ENOTTY, "{subject} 不是串口设备", "{subject} is not a serial device"},
    {kAnyStep, EMFILE, "本程序打开的文件数已达上限（ulimit -n）", "this program has too many files open (ulimit -n)"},
    {kAnyStep, ENFILE, "系统打开的文件数已达上限", "the system has too many files open"},

    {Bit(SysStep::kName), kAnyCode, "端口 {subject} 没有对应的设备（可在 ports.ini 的 [Ports] 中指定）",
     "no device for port {subject} (map it in the [Ports] section of ports.ini)"},
    {Bit(SysStep::kSettingsText), kAnyCode, "串口参数无效", "invalid line settings"},
    {kOpening, ENOENT, "设备 {subject} 不存在（适配器是否已插好？）", "{subject} does not exist (is the adapter plugged in?)"},
    {kOpening, ENODEV, "设备 {subject} 不存在（适配器是否已插好？）", "{subject} does not exist (is the adapter plugged in?)"},
    {kOpening, ENXIO, "设备 {subject} 不存在（适配器是否已插好？）", "{subject} does not exist (is the adapter plugged in?)"},
    // The device layer adds who may use the device (see DescribeSerialOpenError).
    {kOpening, EACCES, "没有打开 {subject} 的权限", "no permission to open {subject}"},
    {kOpening, EPERM, "没有打开 {subject} 的权限", "no permission to open {subject}"},
    {kOpening, ENOSYS, "该设备不支持串口操作", "the device does not implement the serial port calls"},
    {kOpening, EBUSY, "{subject} 正被其他程序使用", "{subject} is in use by another program"},
    {kOpening, EWOULDBLOCK, "{subject} 正被其他程序使用", "{subject} is in use by another program"},
    {Bit(SysStep::kSettings), EINVAL, "{subject} 不接受这些串口参数（波特率等）",
     "{subject} refuses these line settings (baud rate or format)"},
    {Bit(SysStep::kReader), kAnyCode, "无法启动读取线程（{system}）", "cannot start the reader thread ({system})"},
    {kReading, EACCES, "没有读取 {subject} 的权限", "no permission to read {subject}"},
    {kReading, EPERM, "没有读取 {subject} 的权限", "no permission to read {subject}"},
    {kReading, EINVAL, "{subject} 不是普通文件", "{subject} is not a regular file"},
    {kReading, EFBIG, "{subject} 大于 1 MiB，不予读取", "{subject} is larger than 1 MiB and is not read"},
    {kReading, kAnyCode, "无法读取 {subject}：{system}", "cannot read {subject}: {system}"},
    {Bit(SysStep::kPortsEntry), kAnyCode, "{subject} 中为该端口指定的设备路径无效（{detail}）",
     "the device path given for this port in {subject} is not valid ({detail})"},

    {Bit(SysStep::kBind), EADDRINUSE, "本地端口 {subject} 已被其他程序占用", "in use by another program"},
    {Bit(SysStep::kBind), EACCES, "没有绑定本地端口 {subject} 的权限（1024 以下的端口只有特权程序可用）",
     "ports below 1024 need privileges"},
    {Bit(SysStep::kBind), EPERM, "没有绑定本地端口 {subject} 的权限（1024 以下的端口只有特权程序可用）",
     "ports below 1024 need privileges"},
    {Bit(SysStep::kBind), EADDRNOTAVAIL, "本机没有地址 {detail}", "{system}"},
    {Bit(SysStep::kBind), kAnyCode, "{system}", "{system}"},

    {Bit(SysStep::kSend), EACCES, "发送被拒绝（防火墙规则或广播权限）",
     "permission denied (a firewall rule, or broadcast not allowed)"},
    {Bit(SysStep::kSend), EPERM, "发送被防火墙拒绝", "refused by a firewall rule"},
    {Bit(SysStep::kSend), ENETUNREACH, "没有到目标的路由", "no route to the target network"},
    {Bit(SysStep::kSend), EHOSTUNREACH, "目标主机不可达", "target host unreachable"},
    {Bit(SysStep::kSend), ENETDOWN, "网络已断开", "the network is down"},
    {Bit(SysStep::kSend), EMSGSIZE, "数据报过长", "message too long"},
    {Bit(SysStep::kSend), ENOBUFS, "发送缓冲区已满", "no buffer space (the interface is congested)"},
    {Bit(SysStep::kSend), EAGAIN, "发送缓冲区已满", "no buffer space (the interface is congested)"},
    {Bit(SysStep::kSend), EBADF, "网络端口未打开", "the network port is not open"},
    {Bit(SysStep::kSend), EDESTADDRREQ, "目标地址无效", "invalid target address"},
    {Bit(SysStep::kSend), EADDRNOTAVAIL, "本机没有可用的地址", "no usable local address"},
    {Bit(SysStep::kSend), ECONNREFUSED, "目标端口拒绝接收", "the target refused the datagram"},
    {Bit(SysStep::kSend), EINVAL, "发送参数无效", "invalid send"},
    {Bit(SysStep::kSend), kAnyCode, "{system}", "{system}"},
};

const CauseWords* FindCause(const SysError& error) {
  for (const CauseWords& row : kCauses) {
    if ((row.steps & Bit(error.step)) != 0 && (row.code == kAnyCode || row.code == error.code)) return &row;
  }
  return nullptr;
}

std::string Fill(std::string_view words, const CauseSubject& names, int code) {
  std::string filled;
  while (!words.empty()) {
    const std::size_t open = words.find('{');
    const std::size_t close = words.find('}', open);
    if (open == std::string_view::npos || close == std::string_view::npos) break;
    filled.append(words.substr(0, open));
    const std::string_view name = words.substr(open + 1, close - open - 1);
    if (name == "subject") {
      filled += names.subject;
    } else if (name == "detail") {
      filled += names.detail;
    } else if (name == "system") {
      filled += SystemErrorText(code);
    } else {
      filled.append(words.substr(open, close - open + 1));
    }
    words.remove_prefix(close + 1);
  }
  filled.append(words);
  return filled;
}

}  // namespace

std::string DescribeCause(const SysError& error, const CauseSubject& names, Wording wording) {
  if (!error.Failed()) return std::string();
  if (const CauseWords* row = FindCause(error)) {
    return Fill(wording == Wording::kChinese ? row->chinese : row->english, names, error.code);
  }
  if (names.subject.empty()) return SystemErrorText(error.code);
  return names.subject + (wording == Wording::kChinese ? "：" : ": ") + SystemErrorText(error.code);
}
