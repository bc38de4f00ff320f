// quillon-bridge: the bridge without a window. It builds the same document
// and serial device as the windowed program, opens the serial port, starts
// the network port, switches forwarding on and then forwards until SIGINT or
// SIGTERM; the document's destructor shuts down in its usual order.
//
// Texts in this file are GBK bytes like everywhere in the core; everything
// that reaches the terminal goes through GbkToUtf8.
#include <arpa/inet.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bridge/quillon_doc.h"
#include "device/serial_settings.h"
#include "device/port_list.h"
#include "platform/config_dir.h"
#include "platform/text.h"
#include "platform/tick_count.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitHangup = 3;

struct Options {
  std::string port = "COM1";
  std::string baud = "115200";
  std::string parity = "无";  // GBK display name
  std::string dataBits = "8";
  std::string stopBits = "1";
  std::uint16_t localPort = 2000;
  std::string targetIp;
  std::uint16_t targetPort = 0;
  int frameSize = 256;
  long statsSeconds = 0;
  long flushIdleMs = 0;
  std::string configDir;
  bool exitOnHangup = false;
  bool listPorts = false;
  bool help = false;
};

void PrintUtf8(std::FILE* stream, const std::string& gbk) {
  std::string text = GbkToUtf8(gbk);
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
}

const char kUsage[] =
    "用法: quillon-bridge --target 地址:端口 [选项]\n"
    "Usage: quillon-bridge --target ADDRESS:PORT [options]\n"
    "       quillon-bridge --list-ports\n"
    "\n"
    "Forwards every byte received on a serial port, in frames of exactly the\n"
    "frame size, one UDP datagram per frame with no header, from the local\n"
    "port to the target. Runs until SIGINT or SIGTERM.\n"
    "\n"
    "  --port NAME          serial port: COM1 to COM20 (looked up in the [Ports]\n"
    "                       section of ports.ini in the configuration folder,\n"
    "                       else /dev/ttyS<n-1>) or a device path beginning\n"
    "                       with / (default COM1)\n"
    "  --baud RATE          baud rate, any rate the driver accepts (default 115200)\n"
    "  --parity NAME        无, 奇校验, 偶校验, 标记, 空格 or none, odd, even,\n"
    "                       mark, space (default none)\n"
    "  --data BITS          data bits, 5 to 8 (default 8)\n"
    "  --stop BITS          stop bits, 1 or 2 (default 1)\n"
    "  --local-port PORT    local UDP port to bind on all interfaces, 1 to 65535\n"
    "                       (default 2000)\n"
    "  --target ADDR:PORT   target IPv4 address and UDP port (required)\n"
    "  --frame BYTES        frame size: 128, 256, 512 or 1024 (default 256)\n"
    "  --flush-idle MS      also send the bytes of a partial frame, as one\n"
    "                       shorter datagram, once no byte has arrived for MS\n"
    "                       milliseconds, 1 to 10000 (default: never, only\n"
    "                       whole frames leave)\n"
    "  --stats SECONDS      print 接收量 (bytes received) and 传输帧数 (frames\n"
    "                       sent) every SECONDS seconds; 0 never (default 0)\n"
    "  --config-dir DIR     configuration folder (default: ConfigFile beside\n"
    "                       the executable when it can be written there, else\n"
    "                       $XDG_CONFIG_HOME/quillon/ConfigFile, that is\n"
    "                       ~/.config/quillon/ConfigFile)\n"
    "  --exit-on-hangup     exit with status 3 when the serial port hangs up\n"
    "                       (adapter unplugged) instead of waiting for it to\n"
    "                       come back, so that a supervisor can restart it\n"
    "  --list-ports         print the serial devices present, one a line: path,\n"
    "                       name under /dev/serial/by-id (or -), description\n"
    "  --help               show this text\n"
    "\n"
    "Options take their value as the next argument or after '=' (--baud=9600).\n"
    "When the serial port's driver drops bytes (the bridge could not keep up)\n"
    "or counts parity or framing errors, the bridge says so on standard error,\n"
    "at most once every 5 seconds, and --stats shows the totals.\n"
    "When the serial port hangs up the bridge prints one line on standard error,\n"
    "reopens the port as soon as it is back (one more line) and goes on.\n"
    "Exit status: 0 after a signal, 1 when the serial port cannot be opened or\n"
    "the local port cannot be bound, 2 for an invalid command line, 3 after a\n"
    "hang-up with --exit-on-hangup.\n"
    "\n"
    "Example: quillon-bridge --port /dev/ttyUSB0 --baud 460800 \\\n"
    "             --target 127.0.0.1:3000 --frame 512 --stats 5\n";

// The GBK display name for a parity given as display name (UTF-8 on the
// command line) or as an English word; empty when it is neither.
std::string ParityDisplayName(const std::string& utf8) {
  std::string gbk = Utf8ToGbk(utf8);
  std::string lower = utf8;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const SerialParity& parity : SERIAL_PARITIES) {
    if (lower == parity.szWord || gbk == parity.szName) return parity.szName;
  }
  return "";
}

bool IsFrameSize(std::uint64_t bytes) {
  for (int size : FRAME_SIZES) {
    if (bytes == static_cast<std::uint64_t>(size)) return true;
  }
  return false;
}

bool ParseTarget(const std::string& text, Options* options) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string address = text.substr(0, colon);
  in_addr parsed {};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
  std::uint64_t port = 0;
  if (!ParseDecimal(text.substr(colon + 1), 1, 65535, &port)) return false;
  options->targetIp = address;
  options->targetPort = static_cast<std::uint16_t>(port);
  return true;
}

// The options that take a value, so that an unknown one is reported as
// unknown before its missing value is.
bool IsKnownOption(const std::string& name) {
  static const char* const kNames[] = {"--port",  "--baud",  "--parity",     "--data",      "--stop",      "--local-port",
                                       "--target", "--frame", "--flush-idle", "--stats", "--config-dir"};
  for (const char* known : kNames) {
    if (name == known) return true;
  }
  return false;
}

// Fills options from argv; on a mistake returns false with a one-line
// description in *error.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  bool haveTarget = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      return true;
    }
    if (arg == "--list-ports") {
      options->listPorts = true;
      return true;
    }
    if (arg == "--exit-on-hangup") {
      options->exitOnHangup = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      *error = "unexpected argument '" + arg + "'";
      return false;
    }
    std::string name = arg;
    std::string value;
    size_t equals = arg.find('=');
    if (equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    } else {
      if (!IsKnownOption(name)) {
        *error = "unknown option '" + name + "'";
        return false;
      }
      if (i + 1 >= argc) {
        *error = "option " + name + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    std::uint64_t number = 0;
    std::uint32_t baud = 0;
    int bits = 0;
    if (name == "--port") {
      if (value.empty()) {
        *error = "--port needs a port name";
        return false;
      }
      options->port = value;
    } else if (name == "--baud") {
      if (!ParseSerialBaud(value, &baud)) {
        *error = "invalid --baud '" + value + "' (a rate such as 115200)";
        return false;
      }
      options->baud = value;
    } else if (name == "--parity") {
      options->parity = ParityDisplayName(value);
      if (options->parity.empty()) {
        *error = "invalid --parity '" + value + "' (none, odd, even, mark or space)";
        return false;
      }
    } else if (name == "--data") {
      if (!ParseSerialDataBits(value, &bits)) {
        *error = "invalid --data '" + value + "' (5 to 8)";
        return false;
      }
      options->dataBits = value;
    } else if (name == "--stop") {
      if (!ParseSerialStopBits(value, &bits)) {
        *error = "invalid --stop '" + value + "' (1 or 2)";
        return false;
      }
      options->stopBits = value;
    } else if (name == "--local-port") {
      if (!ParseDecimal(value, 1, 65535, &number)) {
        *error = "invalid --local-port '" + value + "' (1 to 65535)";
        return false;
      }
      options->localPort = static_cast<std::uint16_t>(number);
    } else if (name == "--target") {
      if (!ParseTarget(value, options)) {
        *error = "invalid --target '" + value + "' (IPv4 ADDRESS:PORT, such as 127.0.0.1:3000)";
        return false;
      }
      haveTarget = true;
    } else if (name == "--frame") {
      if (!ParseDecimal(value, 1, FRAME_BUFFER_SIZE, &number) || !IsFrameSize(number)) {
        *error = "invalid --frame '" + value + "' (128, 256, 512 or 1024)";
        return false;
      }
      options->frameSize = static_cast<int>(number);
    } else if (name == "--flush-idle") {
      if (!ParseDecimal(value, 1, 10000, &number)) {
        *error = "invalid --flush-idle '" + value + "' (milliseconds, 1 to 10000)";
        return false;
      }
      options->flushIdleMs = static_cast<long>(number);
    } else if (name == "--stats") {
      if (!ParseDecimal(value, 0, 86400, &number)) {
        *error = "invalid --stats '" + value + "' (seconds, 0 to 86400)";
        return false;
      }
      options->statsSeconds = static_cast<long>(number);
    } else if (name == "--config-dir") {
      if (value.empty()) {
        *error = "--config-dir needs a folder";
        return false;
      }
      options->configDir = value;
    } else {
      *error = "unknown option '" + name + "'";
      return false;
    }
  }
  if (!haveTarget) {
    *error = "--target ADDRESS:PORT is required";
    return false;
  }
  return true;
}

// What the port's driver lost or damaged, polled once a second while the
// bridge waits: said when it grows, and added to the statistics.
struct DriverLossReport {
  CSerialErrorNotice notice{5000};
  bool counted = false;  // the driver keeps counters (a pty does not)
  SerialErrorCounts counts;
};

// last: before the port closes, so that no growth goes unsaid.
void CheckDriverLoss(const Options& options, CQuillonDoc& doc, DriverLossReport* loss, bool last = false) {
  SerialErrorCounts counts;
  loss->counted = doc.m_device.GetDriverErrorCounts(&counts) != 0;
  if (!loss->counted) return;
  loss->counts = counts;
  if (!loss->notice.Due(counts, GetTickCount(), last)) return;
  std::fprintf(stderr,
               "quillon-bridge: serial port %s: the driver dropped %u bytes so far (%u overrun in the "
               "UART, %u with the kernel's buffer full: the bridge did not keep up); %u parity errors, "
               "%u framing errors\n",
               options.port.c_str(), counts.Dropped(), counts.overrun, counts.bufferOverrun, counts.parity,
               counts.frame);
  std::fflush(stderr);
}

// The counters under the names the statistics list gives them. The port
// name and address are printed as given (the command line's own encoding).
void PrintStats(const Options& options, const CQuillonDoc& doc, const DriverLossReport& loss) {
  std::string line = GbkToUtf8("串口号 ") + options.port +
                     GbkToUtf8(StrFormat("  接收量 %d字节  本地端口 %u  目标端口 %u  目标IP ",
                                         doc.GetBytesReceived(), static_cast<unsigned>(options.localPort),
                                         static_cast<unsigned>(doc.GetTargetPort()))) +
                     doc.GetTargetIp() + GbkToUtf8(StrFormat("  传输帧数 %d帧", doc.GetFramesSent()));
  if (loss.counted) {
    line += GbkToUtf8(StrFormat("  驱动丢失 %u字节  校验错 %u  帧错 %u", loss.counts.Dropped(), loss.counts.parity,
                                loss.counts.frame));
  }
  line += "\n";
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

// One line per device, tab-separated: path, by-id name or "-", description.
int ListPorts() {
  for (const SerialPortInfo& port : ListSerialPorts()) {
    std::printf("%s\t%s\t%s\n", port.path.c_str(), port.byId.empty() ? "-" : port.byId.c_str(),
                port.Description().c_str());
  }
  std::fflush(stdout);
  return kExitOk;
}

// The port's hang-up and return, reported by the reader thread.
struct HangupReport {
  std::string port;
  bool exitOnHangup = false;
  std::atomic<bool> hungUp{false};
};

void OnPortState(int lost, void* context) {
  auto* report = static_cast<HangupReport*>(context);
  if (lost) {
    std::fprintf(stderr, "quillon-bridge: serial port %s lost (hung up)%s\n", report->port.c_str(),
                 report->exitOnHangup ? "" : "; waiting for it to come back");
    std::fflush(stderr);
    if (report->exitOnHangup) {
      report->hungUp.store(true);
      kill(getpid(), SIGTERM);  // ends the wait in main
    }
    return;
  }
  std::fprintf(stderr, "quillon-bridge: serial port %s is back, forwarding again\n",
               report->port.c_str());
  std::fflush(stderr);
}

// Waits for SIGINT or SIGTERM (blocked in every thread), printing the
// statistics every statsSeconds seconds meanwhile and, when the driver keeps
// error counters, looking at them once a second.
void WaitForStopSignal(const Options& options, CQuillonDoc& doc, DriverLossReport* loss) {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  CheckDriverLoss(options, doc, loss);
  const long statsMs = options.statsSeconds * 1000;
  std::uint32_t statsAt = GetTickCount();
  for (;;) {
    int received;
    if (loss->counted || statsMs > 0) {
      const long waitMs = loss->counted ? 1000 : statsMs;
      timespec period{static_cast<time_t>(waitMs / 1000), 0};
      received = sigtimedwait(&stopSignals, nullptr, &period);
      if (received < 0 && errno == EAGAIN) {
        CheckDriverLoss(options, doc, loss);
        if (statsMs > 0 && GetTickCount() - statsAt >= static_cast<std::uint32_t>(statsMs) - 100) {
          statsAt = GetTickCount();
          PrintStats(options, doc, *loss);
        }
        continue;
      }
    } else {
      received = sigwaitinfo(&stopSignals, nullptr);
    }
    if (received == SIGINT || received == SIGTERM) return;
  }
}

int RunBridge(const Options& options) {
  CQuillonDoc doc;
  doc.OnNewDocument();
  doc.SetKeepDisplayText(false);  // nobody shows it
  doc.SetIdleFlush(static_cast<int>(options.flushIdleMs));

  HangupReport report;
  report.port = options.port;
  report.exitOnHangup = options.exitOnHangup;
  doc.m_device.SetPortStateListener(&OnPortState, &report);
  if (!doc.OpenSerial(
          SerialStartParameters(options.port, options.baud, options.parity, options.dataBits, options.stopBits))) {
    PrintUtf8(stderr, "串口打开错误 请查看该串口是否已被其他应用程序同时打开  " +
                          doc.m_device.GetOpenErrorCause() + "\n");
    doc.m_device.SetPortStateListener(nullptr, nullptr);
    return kExitFailed;
  }

  doc.SetNetworkSettings(options.localPort, options.targetIp, options.targetPort, options.frameSize);
  // On failure the document has shown its message; without a window that
  // goes to standard error.
  if (!doc.OpenNetPort(doc.m_udp)) return kExitFailed;

  doc.m_bForwarding.store(1);
  // One line once every byte from now on is forwarded: scripts (and the
  // tests) wait for it before they send.
  std::printf("quillon-bridge: forwarding %s to %s:%u in frames of %d bytes from local port %u\n",
              options.port.c_str(), options.targetIp.c_str(), static_cast<unsigned>(options.targetPort),
              options.frameSize, static_cast<unsigned>(options.localPort));
  std::fflush(stdout);
  DriverLossReport loss;
  WaitForStopSignal(options, doc, &loss);
  CheckDriverLoss(options, doc, &loss, true);
  if (options.statsSeconds > 0) PrintStats(options, doc, loss);
  doc.CloseSerial();  // the reader is joined: no report comes any more
  doc.m_device.SetPortStateListener(nullptr, nullptr);
  return report.hungUp.load() ? kExitHangup : kExitOk;  // ~CQuillonDoc: sink cleared, device stopped, then the socket
}

}  // namespace

int main(int argc, char** argv) {
  // Blocked before any thread starts, so the reader thread inherits the mask
  // and the signals wait for sigwaitinfo instead of ending the process.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "quillon-bridge: %s (try --help)\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    PrintUtf8(stdout, kUsage);
    return kExitOk;
  }
  if (options.listPorts) return ListPorts();
  if (!options.configDir.empty()) SetConfigDirOverride(options.configDir);
  return RunBridge(options);
}
