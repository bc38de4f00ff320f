// quillon-bridge: the bridge without a window. It builds the same document
// and serial device as the windowed program, opens the serial port, starts
// the network port, switches forwarding on and then forwards until SIGHUP,
// SIGINT or SIGTERM; the document's destructor shuts down in its usual order.
//
// Its own messages are English and go through the gettext catalogue (see
// bridge_texts.h); texts from the core are GBK and reach the terminal
// through FromGbk.
#include <arpa/inet.h>
#include <signal.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <atomic>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bridge/headless/bridge_texts.h"
#include "bridge/headless/process_signals.h"
#include "bridge/quillon_doc.h"
#include "device/serial_settings.h"
#include "device/port_list.h"
#include "platform/config_dir.h"
#include "platform/message_box.h"
#include "platform/process_start.h"
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

// One line in the terminal's language, already translated.
void PrintLine(std::FILE* stream, const std::string& text) {
  std::fputs(text.c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

// English; the catalogue has it in Chinese.
const char kUsage[] =
    "Usage: quillon-bridge --target ADDRESS:PORT [options]\n"
    "       quillon-bridge --list-ports\n"
    "\n"
    "Forwards every byte received on a serial port, in frames of exactly the\n"
    "frame size, one UDP datagram per frame with no header, from the local\n"
    "port to the target. Runs until SIGHUP, SIGINT or SIGTERM.\n"
    "\n"
    "  --port NAME          serial port: COM1 to COM20 (looked up in the [Ports]\n"
    "                       section of ports.ini in the configuration folder,\n"
    "                       else /dev/ttyS<n-1>) or a device path beginning\n"
    "                       with / (default COM1)\n"
    "  --baud RATE          baud rate, any rate the driver accepts (default 115200)\n"
    "  --parity NAME        none, odd, even, mark or space, or the window's\n"
    "                       Chinese names (default none)\n"
    "  --data BITS          data bits, 5 to 8 (default 8)\n"
    "  --stop BITS          stop bits, 1 or 2 (default 1)\n"
    "  --local-port PORT    local UDP port to bind on all interfaces, 1 to 65535,\n"
    "                       or 0 for any free port, printed once bound (default\n"
    "                       2000; every bridge on a machine needs its own)\n"
    "  --target ADDR:PORT   target IPv4 address and UDP port (required); a\n"
    "                       broadcast address is allowed\n"
    "  --frame BYTES        frame size: 128, 256, 512 or 1024 (default 256)\n"
    "  --flush-idle MS      also send the bytes of a partial frame, as one\n"
    "                       shorter datagram, once no byte has arrived for MS\n"
    "                       milliseconds, 1 to 10000, and when the port hangs up\n"
    "                       or the bridge ends (default: never, only whole\n"
    "                       frames leave)\n"
    "  --stats SECONDS      print the bytes received, the frames sent, the\n"
    "                       frames not sent and what the serial driver dropped\n"
    "                       every SECONDS seconds; 0 never (default 0)\n"
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
    "When the serial port hangs up the bridge prints one line on standard error,\n"
    "reopens the port as soon as it is back (one more line) and goes on. Only\n"
    "the same device is taken back: a pseudo-terminal (/dev/pts/N) never, an\n"
    "adapter named /dev/ttyUSBn or /dev/ttyACMn only when it is the same adapter;\n"
    "a symbolic link (such as /dev/serial/by-id/...) is followed.\n"
    "When frames cannot be sent the bridge says why on standard error once,\n"
    "then at most every 10 seconds how many were not sent, and once more when\n"
    "sending works again; frames not sent are never counted as sent.\n"
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
      *error = StrFormat(Tr("unexpected argument '%s'"), arg.c_str());
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
        *error = StrFormat(Tr("unknown option '%s'"), name.c_str());
        return false;
      }
      if (i + 1 >= argc) {
        *error = StrFormat(Tr("option %s needs a value"), name.c_str());
        return false;
      }
      value = argv[++i];
    }
    std::uint64_t number = 0;
    std::uint32_t baud = 0;
    int bits = 0;
    if (name == "--port") {
      if (value.empty()) {
        *error = Tr("--port needs a port name");
        return false;
      }
      options->port = value;
    } else if (name == "--baud") {
      if (!ParseSerialBaud(value, &baud)) {
        *error = StrFormat(Tr("invalid --baud '%s' (a rate such as 115200)"), value.c_str());
        return false;
      }
      options->baud = value;
    } else if (name == "--parity") {
      options->parity = ParityDisplayName(value);
      if (options->parity.empty()) {
        *error = StrFormat(Tr("invalid --parity '%s' (none, odd, even, mark or space)"), value.c_str());
        return false;
      }
    } else if (name == "--data") {
      if (!ParseSerialDataBits(value, &bits)) {
        *error = StrFormat(Tr("invalid --data '%s' (5 to 8)"), value.c_str());
        return false;
      }
      options->dataBits = value;
    } else if (name == "--stop") {
      if (!ParseSerialStopBits(value, &bits)) {
        *error = StrFormat(Tr("invalid --stop '%s' (1 or 2)"), value.c_str());
        return false;
      }
      options->stopBits = value;
    } else if (name == "--local-port") {
      if (!ParseDecimal(value, 0, 65535, &number)) {
        *error = StrFormat(Tr("invalid --local-port '%s' (0 to 65535)"), value.c_str());
        return false;
      }
      options->localPort = static_cast<std::uint16_t>(number);
    } else if (name == "--target") {
      if (!ParseTarget(value, options)) {
        *error = StrFormat(Tr("invalid --target '%s' (IPv4 ADDRESS:PORT, such as 127.0.0.1:3000)"), value.c_str());
        return false;
      }
      haveTarget = true;
    } else if (name == "--frame") {
      if (!ParseDecimal(value, 1, FRAME_BUFFER_SIZE, &number) || !IsFrameSize(number)) {
        *error = StrFormat(Tr("invalid --frame '%s' (128, 256, 512 or 1024)"), value.c_str());
        return false;
      }
      options->frameSize = static_cast<int>(number);
    } else if (name == "--flush-idle") {
      if (!ParseDecimal(value, 1, 10000, &number)) {
        *error = StrFormat(Tr("invalid --flush-idle '%s' (milliseconds, 1 to 10000)"), value.c_str());
        return false;
      }
      options->flushIdleMs = static_cast<long>(number);
    } else if (name == "--stats") {
      if (!ParseDecimal(value, 0, 86400, &number)) {
        *error = StrFormat(Tr("invalid --stats '%s' (seconds, 0 to 86400)"), value.c_str());
        return false;
      }
      options->statsSeconds = static_cast<long>(number);
    } else if (name == "--config-dir") {
      if (value.empty()) {
        *error = Tr("--config-dir needs a folder");
        return false;
      }
      options->configDir = value;
    } else {
      *error = StrFormat(Tr("unknown option '%s'"), name.c_str());
      return false;
    }
  }
  if (!haveTarget) {
    *error = Tr("--target ADDRESS:PORT is required");
    return false;
  }
  return true;
}

// What the port's driver lost or damaged, looked at once a second while the
// bridge waits: said when it grows, and added to the statistics. Main thread.
struct DriverLossReport {
  CSerialErrorNotice notice{5000};
  bool counted = false;  // the driver keeps counters (a pty does not)
  SerialErrorCounts counts;
};

// last: before the port closes, so that no growth goes unsaid.
void CheckDriverLoss(const std::string& port, CQuillonDoc& doc, DriverLossReport* loss, bool last = false) {
  SerialErrorCounts counts;
  loss->counted = doc.m_device.GetDriverErrorCounts(&counts) != 0;
  if (!loss->counted) return;
  loss->counts = counts;
  if (!loss->notice.Due(counts, GetTickCount(), last)) return;
  std::fprintf(stderr,
               Tr("quillon-bridge: serial port %s: the driver dropped %u bytes so far (%u overrun in the UART, "
                  "%u with the kernel's buffer full: the bridge did not keep up); %u parity errors, %u framing "
                  "errors\n"),
               port.c_str(), counts.Dropped(), counts.overrun, counts.bufferOverrun, counts.parity, counts.frame);
  std::fflush(stderr);
}

// The counters under the names the statistics list gives them. The port
// name and address are printed as given (the command line's own encoding).
void PrintStats(const CQuillonDoc& doc, const std::string& port, unsigned localPort, const DriverLossReport& loss) {
  const auto count = [](std::uint64_t n) { return static_cast<unsigned long long>(n); };
  std::string line = StrFormat(Tr("port %s  received %llu bytes  local port %u  target port %u  target IP %s  "
                                  "frames sent %llu  frames not sent %llu\n"),
                               port.c_str(), count(doc.GetBytesReceived()), localPort,
                               static_cast<unsigned>(doc.GetTargetPort()), doc.GetTargetIp().c_str(),
                               count(doc.GetFramesSent()), count(doc.GetFramesFailed()));
  if (loss.counted && !line.empty() && line.back() == '\n') {
    line.pop_back();
    line += StrFormat(Tr("  dropped by the driver %u bytes  parity errors %u  framing errors %u\n"),
                      loss.counts.Dropped(), loss.counts.parity, loss.counts.frame);
  }
  std::fputs(line.c_str(), stdout);
  FlushStandardOutput();
}

// One line per device, tab-separated: path, by-id name or "-", description,
// each with its control bytes escaped, so that a name that holds a tab, a
// line feed or an escape sequence keeps to its field and does nothing to the
// terminal.
int ListPorts() {
  for (const SerialPortInfo& port : ListSerialPorts()) {
    std::printf("%s\t%s\t%s\n", EscapeControls(port.path).c_str(),
                port.byId.empty() ? "-" : EscapeControls(port.byId).c_str(),
                EscapeControls(port.Description()).c_str());
  }
  std::fflush(stdout);
  return kExitOk;
}

// What the reader thread reports: the port's hang-up and return, and changes
// in how sends fare. Outlives the document, whose reader calls into it.
struct BridgeReport {
  std::string port;
  bool exitOnHangup = false;
  std::atomic<bool> hungUp{false};
};

// Wakes the main thread, which prints what changed in how sends fare: the
// reader must not block on a slow standard error.
const int kSendStateSignal = SIGRTMIN;

void OnPortState(int lost, void* context) {
  auto* report = static_cast<BridgeReport*>(context);
  const char* port = report->port.c_str();
  if (lost == SERIAL_PORT_OTHER_DEVICE) {
    std::fprintf(stderr, Tr("quillon-bridge: another device appeared at %s - not reconnecting\n"), port);
    std::fflush(stderr);
    return;
  }
  if (lost) {
    const bool gone = lost == SERIAL_PORT_GONE;
    std::fprintf(stderr,
                 report->exitOnHangup ? Tr("quillon-bridge: serial port %s lost (hung up)\n")
                 : gone ? Tr("quillon-bridge: serial port %s lost (hung up); a pseudo-terminal does not come "
                             "back, not reconnecting\n")
                        : Tr("quillon-bridge: serial port %s lost (hung up); waiting for it to come back\n"),
                 port);
    std::fflush(stderr);
    if (report->exitOnHangup) {
      report->hungUp.store(true);
      kill(getpid(), SIGTERM);  // ends the wait in main
    }
    return;
  }
  std::fprintf(stderr, "quillon-bridge: serial port %s is back, forwarding again\n", port);
  std::fflush(stderr);
}

void OnSendState(int error, void* context) { kill(getpid(), kSendStateSignal); }

// How sends fare, said on standard error: the first failure with its cause,
// then at most one summary per kSummarySeconds while failures go on, then
// one line when sending works again. Main thread.
class SendFailureReporter {
 public:
  static constexpr long kSummarySeconds = 10;

  SendFailureReporter(const CQuillonDoc& doc, std::string target) : m_doc(doc), m_target(std::move(target)) {}

  // Seconds until Check must run again for a summary; -1 for no need.
  long SecondsToSummary() const { return m_failing ? std::max(0L, m_summaryDue - Now()) : -1; }

  void Check() {
    const int error = m_doc.GetSendError();
    const std::uint64_t failed = m_doc.GetFramesFailed();
    if (error != 0 && !m_failing) {
      m_failing = true;
      m_error = error;
      m_failedAtSummary = failed;
      m_summaryDue = Now() + kSummarySeconds;
      Say(StrFormat(Tr("quillon-bridge: sending to %s fails: %s\n"), m_target.c_str(),
                    DescribeSendFailure(error).c_str()));
    } else if (error != 0 && error != m_error) {
      m_error = error;
      Say(StrFormat(Tr("quillon-bridge: sending to %s fails: %s\n"), m_target.c_str(),
                    DescribeSendFailure(error).c_str()));
    } else if (error == 0 && m_failing) {
      m_failing = false;
      Say(StrFormat(Tr("quillon-bridge: sending to %s works again (%llu frames not sent in all)\n"),
                    m_target.c_str(), static_cast<unsigned long long>(failed)));
    }
    if (m_failing && Now() >= m_summaryDue) {
      if (failed > m_failedAtSummary) {
        Say(StrFormat(Tr("quillon-bridge: %llu frames not sent in the last %ld s (%s)\n"),
                      static_cast<unsigned long long>(failed - m_failedAtSummary), kSummarySeconds,
                      DescribeSendFailure(m_error).c_str()));
      }
      m_failedAtSummary = failed;
      m_summaryDue = Now() + kSummarySeconds;
    }
  }

 private:
  static long Now() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec);
  }
  static void Say(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }

  const CQuillonDoc& m_doc;
  const std::string m_target;
  bool m_failing = false;
  int m_error = 0;
  std::uint64_t m_failedAtSummary = 0;
  long m_summaryDue = 0;
};

// The stop signals and the reader's wake-up.
sigset_t WaitedSignals() {
  sigset_t signals = StopSignals();
  sigaddset(&signals, kSendStateSignal);
  return signals;
}

// Waits for a stop signal (blocked in every thread), printing the
// statistics every statsSeconds seconds and how sends fare meanwhile, and,
// when the driver keeps error counters, looking at them once a second.
void WaitForStopSignal(const Options& options, CQuillonDoc& doc, unsigned localPort, DriverLossReport* loss) {
  const sigset_t waited = WaitedSignals();
  SendFailureReporter sends(doc, StrFormat("%s:%u", options.targetIp.c_str(),
                                           static_cast<unsigned>(options.targetPort)));
  timespec statsDue {};
  clock_gettime(CLOCK_MONOTONIC, &statsDue);
  statsDue.tv_sec += options.statsSeconds;
  for (;;) {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long wait = -1;  // seconds; -1 without a time-out
    if (options.statsSeconds > 0) wait = std::max(0L, static_cast<long>(statsDue.tv_sec - now.tv_sec));
    const long summary = sends.SecondsToSummary();
    if (summary >= 0 && (wait < 0 || summary < wait)) wait = summary;
    CheckDriverLoss(options.port, doc, loss);
    if (loss->counted && (wait < 0 || wait > 1)) wait = 1;
    int received;
    if (wait >= 0) {
      timespec period {static_cast<time_t>(wait), wait == 0 ? 1000000L : 0L};
      received = sigtimedwait(&waited, nullptr, &period);
    } else {
      received = sigwaitinfo(&waited, nullptr);
    }
    if (received > 0 && received != kSendStateSignal) return;  // a stop signal
    sends.Check();
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (options.statsSeconds > 0 && now.tv_sec >= statsDue.tv_sec) {
      PrintStats(doc, options.port, localPort, *loss);
      statsDue.tv_sec = now.tv_sec + options.statsSeconds;
    }
  }
}

int RunBridge(const Options& options) {
  // Declared before the document: its reader may report until the document
  // has stopped it, on every return path.
  BridgeReport report;
  report.port = options.port;
  report.exitOnHangup = options.exitOnHangup;
  CQuillonDoc doc;
  doc.OnNewDocument();
  doc.SetKeepDisplayText(false);  // nobody shows it
  doc.SetIdleFlush(static_cast<int>(options.flushIdleMs));
  doc.m_device.SetPortStateListener(&OnPortState, &report);
  doc.SetSendStateListener(&OnSendState, &report);
  if (!doc.OpenSerial(
          SerialStartParameters(options.port, options.baud, options.parity, options.dataBits, options.stopBits))) {
    PrintLine(stderr, DescribeOpenFailure(doc.m_device.GetOpenError()));
    return kExitFailed;
  }

  doc.SetNetworkSettings(options.localPort, options.targetIp, options.targetPort, options.frameSize);
  // The document shows its bind message through the message box; here it
  // becomes one line in the user's language.
  std::string boxText;
  const MessageBoxHandler previous = SetMessageBoxHandler([&](const std::string& text) { boxText = text; });
  const bool bound = doc.OpenNetPort(doc.m_udp) == 1;
  SetMessageBoxHandler(previous);
  if (!bound) {
    PrintLine(stderr, DescribeBindFailure(doc.m_udp, options.localPort, boxText));
    return kExitFailed;
  }
  const unsigned localPort = doc.m_udp.GetBoundPort();

  doc.m_bForwarding.store(1);
  // One line once every byte from now on is forwarded: scripts (and the
  // tests) wait for it before they send. It names the local port bound, the
  // system's choice for --local-port 0.
  std::printf(Tr("quillon-bridge: forwarding %s to %s:%u in frames of %d bytes from local port %u\n"),
              options.port.c_str(), options.targetIp.c_str(), static_cast<unsigned>(options.targetPort),
              options.frameSize, localPort);
  FlushStandardOutput();
  DriverLossReport loss;
  WaitForStopSignal(options, doc, localPort, &loss);
  CheckDriverLoss(options.port, doc, &loss, true);
  // The reader is joined: no report comes any more, and with --flush-idle the
  // partial frame has left.
  doc.CloseSerial();
  if (options.statsSeconds > 0) PrintStats(doc, options.port, localPort, loss);
  return report.hungUp.load() ? kExitHangup : kExitOk;  // ~CQuillonDoc: sink cleared, device stopped, then the socket
}

}  // namespace

static int BridgeMain(int argc, char** argv) {
  if (!MakeStandardDescriptorsValid()) return kExitFailed;
  InitBridgeTexts(argc > 0 ? argv[0] : nullptr);
  // Before any thread starts, so the reader thread inherits the mask and
  // the signals wait for sigwaitinfo instead of ending the process.
  PrepareSignals();
  const sigset_t waited = WaitedSignals();
  pthread_sigmask(SIG_BLOCK, &waited, nullptr);

  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, Tr("quillon-bridge: %s (try --help)\n"), error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(Tr(kUsage), stdout);
    return kExitOk;
  }
  if (options.listPorts) return ListPorts();
  if (!options.configDir.empty()) SetConfigDirOverride(options.configDir);
  return RunBridge(options);
}

int main(int argc, char** argv) { return RunCatchingOutOfMemory("quillon-bridge", &BridgeMain, argc, argv); }
