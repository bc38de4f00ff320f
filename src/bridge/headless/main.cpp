// quillon-bridge: the bridge without a window. It builds the same document
// and serial device as the windowed program, opens the serial port, starts
// the network port, switches forwarding on and then forwards until it is
// asked to stop (SIGHUP, SIGINT or SIGTERM; on Windows Ctrl+C, Ctrl+Break or
// the console closing); the document's destructor shuts down in its usual
// order.
//
// Its own messages are English and go through the catalogue (see
// bridge_texts.h); texts from the core are GBK and reach the terminal
// through FromGbk. Everything it prints goes through the platform's
// terminal writer, which a Windows console takes as UTF-16.
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
#include "bridge/headless/options.h"
#include "bridge/headless/standard_output.h"
#include "bridge/quillon_doc.h"
#include "device/serial_settings.h"
#include "device/port_list.h"
#include "platform/config_dir.h"
#include "platform/message_box.h"
#include "platform/process_start.h"
#include "platform/stop_request.h"
#include "platform/terminal_text.h"
#include "platform/text.h"
#include "platform/tick_count.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitHangup = 3;

// Seconds on the monotonic clock.
long MonotonicSeconds() {
  timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long>(now.tv_sec);
}

// One line in the terminal's language, already translated.
void PrintLine(std::FILE* stream, const std::string& text) {
  WriteTerminal(stream, text + "\n");
  std::fflush(stream);
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
  loss->counted = doc.GetDriverErrorCounts(&counts) != 0;
  if (!loss->counted) return;
  loss->counts = counts;
  if (!loss->notice.Due(counts, GetTickCount(), last)) return;
  PrintTerminal(stderr,
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
  WriteTerminal(stdout, line);
  FlushStandardOutput();
}

// A name from the port list for the terminal, its control bytes escaped.
std::string PortText(const std::string& name) { return EscapeControls(NameForTerminal(name)); }

// One line per device, tab-separated: path, by-id name or "-", description,
// each with its control bytes escaped, so that a name that holds a tab, a
// line feed or an escape sequence keeps to its field and does nothing to the
// terminal.
int ListPorts() {
  for (const SerialPortInfo& port : ListSerialPorts()) {
    PrintTerminal(stdout, "%s\t%s\t%s\n", PortText(port.path).c_str(),
                  port.byId.empty() ? "-" : PortText(port.byId).c_str(), PortText(port.Description()).c_str());
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

void OnPortState(int lost, void* context) {
  auto* report = static_cast<BridgeReport*>(context);
  const char* port = report->port.c_str();
  if (lost == SERIAL_PORT_OTHER_DEVICE) {
    PrintTerminal(stderr, Tr("quillon-bridge: another device appeared at %s - not reconnecting\n"), port);
    std::fflush(stderr);
    return;
  }
  if (lost) {
    const bool gone = lost == SERIAL_PORT_GONE;
    PrintTerminal(stderr,
                  report->exitOnHangup ? Tr("quillon-bridge: serial port %s lost (hung up)\n")
                  : gone ? Tr("quillon-bridge: serial port %s lost (hung up); a pseudo-terminal does not come "
                              "back, not reconnecting\n")
                         : Tr("quillon-bridge: serial port %s lost (hung up); waiting for it to come back\n"),
                  port);
    std::fflush(stderr);
    if (report->exitOnHangup) {
      report->hungUp.store(true);
      RequestStop();  // ends the wait in main
    }
    return;
  }
  PrintTerminal(stderr, Tr("quillon-bridge: serial port %s is back, forwarding again\n"), port);
  std::fflush(stderr);
}

// Wakes the main thread, which prints what changed in how sends fare: the
// reader must not block on a slow standard error.
void OnSendState(int error, void* context) { WakeStopWaiter(); }

// How sends fare, said on standard error: the first failure with its cause,
// then at most one summary per kSummarySeconds while failures go on, then
// one line when sending works again. Main thread.
class SendFailureReporter {
 public:
  static constexpr long kSummarySeconds = 10;

  SendFailureReporter(const CQuillonDoc& doc, std::string target) : m_doc(doc), m_target(std::move(target)) {}

  // Seconds until Check must run again for a summary; -1 for no need.
  long SecondsToSummary() const { return m_failing ? std::max(0L, m_summaryDue - MonotonicSeconds()) : -1; }

  void Check() {
    const int error = m_doc.GetSendError();
    const std::uint64_t failed = m_doc.GetFramesFailed();
    SayChange(error, failed);
    if (m_failing && MonotonicSeconds() >= m_summaryDue) SaySummary(failed);
  }

 private:
  // The first failure, a new cause, or sending working again.
  void SayChange(int error, std::uint64_t failed) {
    if (error == 0) {
      if (!m_failing) return;
      m_failing = false;
      Say(StrFormat(Tr("quillon-bridge: sending to %s works again (%llu frames not sent in all)\n"),
                    m_target.c_str(), static_cast<unsigned long long>(failed)));
      return;
    }
    if (m_failing && error == m_error) return;
    if (!m_failing) {
      m_failing = true;
      m_failedAtSummary = failed;
      m_summaryDue = MonotonicSeconds() + kSummarySeconds;
    }
    m_error = error;
    Say(StrFormat(Tr("quillon-bridge: sending to %s fails: %s\n"), m_target.c_str(),
                  DescribeSendFailure(error).c_str()));
  }

  // How many were not sent since the last summary, when any were.
  void SaySummary(std::uint64_t failed) {
    if (failed > m_failedAtSummary) {
      Say(StrFormat(Tr("quillon-bridge: %llu frames not sent in the last %ld s (%s)\n"),
                    static_cast<unsigned long long>(failed - m_failedAtSummary), kSummarySeconds,
                    DescribeSendFailure(m_error).c_str()));
    }
    m_failedAtSummary = failed;
    m_summaryDue = MonotonicSeconds() + kSummarySeconds;
  }

  static void Say(const std::string& text) {
    WriteTerminal(stderr, text);
    std::fflush(stderr);
  }

  const CQuillonDoc& m_doc;
  const std::string m_target;
  bool m_failing = false;
  int m_error = 0;
  std::uint64_t m_failedAtSummary = 0;
  long m_summaryDue = 0;
};

// The sooner of two waits in seconds, where -1 is no wait at all.
long Sooner(long a, long b) { return a < 0 ? b : (b < 0 ? a : std::min(a, b)); }

// Waits for a stop request, printing the statistics every statsSeconds
// seconds and how sends fare meanwhile, and, when the driver keeps error
// counters, looking at them once a second.
void WaitForStop(const BridgeOptions& options, CQuillonDoc& doc, unsigned localPort, DriverLossReport* loss) {
  SendFailureReporter sends(doc, StrFormat("%s:%u", options.targetIp.c_str(),
                                           static_cast<unsigned>(options.targetPort)));
  long statsDue = MonotonicSeconds() + options.statsSeconds;
  for (;;) {
    long wait = options.statsSeconds > 0 ? std::max(0L, statsDue - MonotonicSeconds()) : -1;
    wait = Sooner(wait, sends.SecondsToSummary());
    CheckDriverLoss(options.port, doc, loss);
    if (loss->counted) wait = Sooner(wait, 1);
    // wait is in seconds (-1: no time-out); 0 is a millisecond.
    if (WaitForStopRequest(wait < 0 ? -1 : (wait == 0 ? 1 : wait * 1000)) == StopWait::kStop) return;
    sends.Check();
    const long now = MonotonicSeconds();
    if (options.statsSeconds > 0 && now >= statsDue) {
      PrintStats(doc, options.port, localPort, *loss);
      statsDue = now + options.statsSeconds;
    }
  }
}

// Opens the serial port with the command line's settings; false once it has
// said why it cannot.
bool OpenSerialPort(const BridgeOptions& options, CQuillonDoc& doc) {
  if (!doc.OpenSerial(SerialStartParameters(NameFromTerminal(options.port), options.baud, options.parity,
                                            options.dataBits, options.stopBits))) {
    PrintLine(stderr, DescribeOpenFailure(doc.GetOpenError()));
    return false;
  }
  return true;
}

// Starts the network port; *localPort is the port bound. False once it has
// said why it cannot.
bool StartNetworkPort(const BridgeOptions& options, CQuillonDoc& doc, unsigned* localPort) {
  doc.SetNetworkSettings(options.localPort, options.targetIp, options.targetPort, options.frameSize);
  // The document shows its bind message through the message box; here it
  // becomes one line in the user's language.
  std::string boxText;
  const MessageBoxHandler previous = SetMessageBoxHandler([&](const std::string& text) { boxText = text; });
  const bool bound = doc.OpenNetPort() == 1;
  SetMessageBoxHandler(previous);
  if (!bound) {
    PrintLine(stderr, DescribeBindFailure(doc.GetUdpPort(), options.localPort, boxText));
    return false;
  }
  *localPort = doc.GetUdpPort().GetBoundPort();
  return true;
}

// One line once every byte from now on is forwarded: scripts (and the
// tests) wait for it before they send. It names the local port bound, the
// system's choice for --local-port 0.
void AnnounceForwarding(const BridgeOptions& options, unsigned localPort) {
  PrintTerminal(stdout, Tr("quillon-bridge: forwarding %s to %s:%u in frames of %d bytes from local port %u\n"),
                options.port.c_str(), options.targetIp.c_str(), static_cast<unsigned>(options.targetPort),
                options.frameSize, localPort);
  FlushStandardOutput();
}

int RunBridge(const BridgeOptions& options) {
  // Declared before the document: its reader may report until the document
  // has stopped it, on every return path.
  BridgeReport report;
  report.port = options.port;
  report.exitOnHangup = options.exitOnHangup;
  CQuillonDoc doc;
  doc.OnNewDocument();
  doc.SetKeepDisplayText(false);  // nobody shows it
  doc.SetIdleFlush(static_cast<int>(options.flushIdleMs));
  doc.SetPortStateListener(&OnPortState, &report);
  doc.SetSendStateListener(&OnSendState, &report);
  unsigned localPort = 0;
  if (!OpenSerialPort(options, doc) || !StartNetworkPort(options, doc, &localPort)) return kExitFailed;

  doc.StartForwarding();
  AnnounceForwarding(options, localPort);
  DriverLossReport loss;
  WaitForStop(options, doc, localPort, &loss);
  CheckDriverLoss(options.port, doc, &loss, true);
  // The reader is joined: no report comes any more, and with --flush-idle the
  // partial frame has left.
  doc.CloseSerial();
  if (options.statsSeconds > 0) PrintStats(doc, options.port, localPort, loss);
  return report.hungUp.load() ? kExitHangup : kExitOk;  // ~CQuillonDoc: sink cleared, device stopped, then the socket
}

// argv as the platform gives it; the command line is read as UTF-8 whatever
// the system's code page.
int BridgeMain(int argc, char** argv) {
  std::vector<std::string> arguments = CommandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);

  const BridgeOptionsResult parsed = ParseBridgeOptions(static_cast<int>(arguments.size()), pointers.data());
  if (!parsed.ok()) {
    const std::string error = StrFormat(Tr(parsed.error), parsed.subject.c_str());
    PrintTerminal(stderr, Tr("quillon-bridge: %s (try --help)\n"), error.c_str());
    return kExitUsage;
  }
  const BridgeOptions& options = parsed.options;
  if (options.help) {
    WriteTerminal(stdout, Tr(BridgeUsage().c_str()));
    return kExitOk;
  }
  if (options.listPorts) return ListPorts();
  if (!options.configDir.empty()) SetConfigDirOverride(NameFromTerminal(options.configDir));
  return RunBridge(options);
}

int StartBridge(int argc, char** argv) {
  if (!MakeStandardDescriptorsValid()) return kExitFailed;
  InitBridgeTexts(argc > 0 ? argv[0] : nullptr);
  // Before any thread starts, so the reader thread inherits the signal mask
  // and a stop waits for main instead of ending the process.
  PrepareStopRequests();
  const int status = BridgeMain(argc, argv);
  StopRequestsDone();
  return status;
}

}  // namespace

int main(int argc, char** argv) { return RunCatchingOutOfMemory("quillon-bridge", &StartBridge, argc, argv); }
