// How the main window keeps up while bytes pour in: a forked "device" writes
// into a pseudo-terminal, mapped as COM3; the real form connects it, starts
// the network port towards a receiver on 127.0.0.1 and forwards frames.
// Reported for each phase: how late the 200 ms display ticks and the 500 ms
// statistics ticks run (each tick's interval minus its period; median and
// worst) and the process's CPU time per second of wall time. Phases: the port
// open and silent; 460800 baud (46080 bytes a second, 1024-byte frames) with
// all byte values, then with GPS sentences; a flood (random bytes written as
// fast as the pty takes them, 256-byte frames), with the process's peak RSS;
// and the silence after the flood. The device runs in its own process, so
// its CPU is not counted.
//
// Last, the real program (this executable started again as the windowed
// program) is closed by its close box during a flood, 20 times: the time from
// the close to the process's end, and its exit status.
//
// Usage: bench_app [seconds per phase under load, default 20]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QMainWindow>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/app_resources.h"
#include "app/doc_template.h"
#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "bridge/quillon_doc.h"
#include "platform/config_dir.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window/app.h"
#include "platform/window/backend.h"
#include "platform/window/qt/qt_access.h"
#include "platform/window/qt/qt_backend.h"
#include "ui/quillon_view.h"

namespace {

constexpr int kBytesPerSecond = 460800 / 10;  // 8 data bits, start and stop bit
constexpr int kSlicesPerSecond = 100;

using Clock = std::chrono::steady_clock;

// The form, with the time of every tick written down before the tick runs.
class TimedView : public CQuillonView {
 public:
  void OnTimer(unsigned nIdEvent) override {
    if (m_bRecording) m_ticks[nIdEvent].push_back(Clock::now());
    CQuillonView::OnTimer(nIdEvent);
  }
  void Record(bool on) {
    if (on) m_ticks.clear();
    m_bRecording = on;
  }
  std::map<unsigned, std::vector<Clock::time_point>> m_ticks;

 private:
  bool m_bRecording = false;
};

// The program's document template with the watched view in its place.
class TimedTemplate : public CQuillonDocTemplate {
 public:
  TimedTemplate() : CQuillonDocTemplate(IDR_MAINFRAME, DocTemplateString()) {}

 protected:
  std::unique_ptr<CQuillonView> CreateView() override { return std::make_unique<TimedView>(); }
};

// What the device sends: every byte value in turn, GPS sentences (digits
// and commas without spaces, one long line in the receive pane), or random
// bytes for a flood.
std::string DeviceStream(char kind) {
  std::string out;
  if (kind == 'f') {
    std::uint32_t x = 2463534242u;
    for (int i = 0; i < 65536; ++i) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      out.push_back(static_cast<char>(x & 0xFF));
    }
    return out;
  }
  if (kind == 'b') {
    for (int i = 0; i < 4096; ++i) out.push_back(static_cast<char>(i & 0xFF));
    return out;
  }
  for (int n = 0; out.size() < 65536; ++n) {
    char line[128];
    std::snprintf(line, sizeof line, "$GPGGA,0812%02d.%d0,3954.%04d,N,11623.%04d,E,1,08,0.9,48.%d,M,-8.2,M,,*%02X\r\n",
                  n % 60, n % 10, (n * 37) % 10000, (n * 53) % 10000, n % 10, (n * 7) & 0xFF);
    out += line;
  }
  return out;
}

// The device: silent until told what to send ('b', 't' or 'f' on the pipe;
// 's' is silence again). At 460800 baud it writes its share every 10 ms on an
// absolute schedule, so a late slice is caught up and the average rate is
// exact; a flood writes as fast as the pty takes the bytes. Ends on SIGTERM.
[[noreturn]] void RunDevice(int master, int commandPipe) {
  char kind = 0;
  if (read(commandPipe, &kind, 1) != 1) _exit(1);
  std::string stream = DeviceStream(kind);
  std::size_t at = 0;
  const std::size_t slice = kBytesPerSecond / kSlicesPerSecond;
  timespec due{};
  clock_gettime(CLOCK_MONOTONIC, &due);
  for (;;) {
    if (kind == 's') {
      // Silent: wait for the next command.
      fcntl(commandPipe, F_SETFL, fcntl(commandPipe, F_GETFL) & ~O_NONBLOCK);
      if (read(commandPipe, &kind, 1) != 1) _exit(0);
      stream = DeviceStream(kind);
      at = 0;
      clock_gettime(CLOCK_MONOTONIC, &due);
      continue;
    }
    fcntl(commandPipe, F_SETFL, fcntl(commandPipe, F_GETFL) | O_NONBLOCK);
    char next = 0;
    if (read(commandPipe, &next, 1) == 1) {
      kind = next;
      stream = DeviceStream(next);
      at = 0;
      clock_gettime(CLOCK_MONOTONIC, &due);
      continue;
    }
    if (kind == 'f') {
      const ssize_t n = write(master, stream.data() + at, stream.size() - at);
      if (n <= 0) _exit(0);
      at = (at + static_cast<std::size_t>(n)) % stream.size();
      continue;
    }
    for (std::size_t done = 0; done < slice;) {
      const std::size_t want = std::min(slice - done, stream.size() - at);
      const ssize_t n = write(master, stream.data() + at, want);
      if (n <= 0) _exit(0);
      done += static_cast<std::size_t>(n);
      at = (at + static_cast<std::size_t>(n)) % stream.size();
    }
    due.tv_nsec += 1000000000L / kSlicesPerSecond;
    if (due.tv_nsec >= 1000000000L) {
      due.tv_nsec -= 1000000000L;
      ++due.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
  }
}

unsigned FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  unsigned port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (fd >= 0) close(fd);
  return port;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of each thread of the process, by thread name.
std::map<std::string, double> ThreadCpuSeconds() {
  std::map<std::string, double> out;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    FILE* f = std::fopen((entry.path() / "stat").c_str(), "r");
    if (f == nullptr) continue;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    if (!read) continue;
    const char* open = std::strchr(line, '(');
    const char* close = std::strrchr(line, ')');
    if (open == nullptr || close == nullptr) continue;
    unsigned long utime = 0;
    unsigned long stime = 0;
    // Fields after the name: state is field 3, utime 14, stime 15.
    if (std::sscanf(close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2) continue;
    std::string name(open + 1, close);
    if (entry.path().filename() == std::to_string(getpid())) name = "UI thread";
    out[name] += static_cast<double>(utime + stime) / tick;
  }
  return out;
}

// The process's peak resident set (VmHWM), in MiB.
double PeakRssMiB() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0.0;
  char line[256];
  double kib = 0.0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
  }
  std::fclose(f);
  return kib / 1024.0;
}

void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void Report(const char* phase, TimedView& view, double cpuSeconds, double wallSeconds) {
  std::printf("%s: process CPU %.2f%% of one core\n", phase, 100.0 * cpuSeconds / wallSeconds);
  for (const auto& [id, period] : {std::pair{DISPLAY_TIMER, DISPLAY_PERIOD_MS}, std::pair{STATS_TIMER, STATS_PERIOD_MS}}) {
    const std::vector<Clock::time_point>& ticks = view.m_ticks[id];
    std::vector<double> late;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
      const double interval = std::chrono::duration<double, std::milli>(ticks[i] - ticks[i - 1]).count();
      late.push_back(interval - period);
    }
    if (late.empty()) {
      std::printf("  timer %u: no ticks\n", id);
      continue;
    }
    std::sort(late.begin(), late.end());
    std::printf("  timer %u (%u ms): %zu ticks, lateness median %.2f ms, worst %.2f ms\n", id, period, late.size(),
                late[late.size() / 2], late.back());
  }
}

// ---------------------------------------------------------------------------
// Closing the real program during a flood.

// The child: the windowed program as main() runs it, in the given
// configuration folder (ports.ini maps COM3), driven by timers as a user
// would: connect COM3, target 127.0.0.1:<port>, start the port, forward;
// after two seconds of flood the close box. Just before the close it writes
// the time (CLOCK_MONOTONIC, ns) to the descriptor it was given.
int RunProgramAndClose(const char* folder, unsigned targetPort, int timeFd) {
  SetConfigDirOverride(std::string(folder) + "/ConfigFile");
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromUtf8(folder) + QStringLiteral("/profile"));
  CQuillonApp app;
  int qtArgc = 1;
  char name[] = "quillon";
  char* qtArgv[] = {name, nullptr};
  QApplication application(qtArgc, qtArgv);
  InstallQtWindowBackend();
  SetMessageBoxHandler([](const std::string& text) { std::fprintf(stderr, "message: %s\n", GbkToUtf8(text).c_str()); });
  QTimer::singleShot(0, [&app, targetPort] {
    CQuillonView* view = app.GetDocTemplate() != nullptr ? app.GetDocTemplate()->GetView() : nullptr;
    if (view == nullptr) return;
    view->GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT)->SetCurSel(2);  // COM3
    view->GetDlgItemAs<CButton>(IDC_CONNECT_SERIAL)->Click();
    // The address first: the network port never starts towards another one.
    view->m_ipTarget.SetAddress(127, 0, 0, 1);
    view->SetDlgItemText(IDC_TARGET_PORT, StrFormat("%u", targetPort));
    view->SetDlgItemText(IDC_LOCAL_PORT, StrFormat("%u", FreeLoopbackPort()));
    view->GetDlgItemAs<CButton>(IDC_START_PORT)->Click();
    view->GetDlgItemAs<CButton>(IDC_SEND_DATA)->Click();
  });
  QTimer::singleShot(2000, [&app, timeFd] {
    CQuillonDoc* doc = app.GetDocTemplate() != nullptr ? app.GetDocTemplate()->GetDocument() : nullptr;
    // Not connected or nothing received: no figure (the parent sees status 3).
    if (doc == nullptr || doc->GetBytesReceived() == 0) std::_Exit(3);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = now.tv_sec * 1000000000LL + now.tv_nsec;
    if (write(timeFd, &ns, sizeof ns) != static_cast<ssize_t>(sizeof ns)) std::_Exit(4);
    if (auto* frame = qobject_cast<QMainWindow*>(WidgetOf(*AfxGetMainWnd()))) frame->close();
  });
  char* argv[] = {name, nullptr};
  const int code = AfxWinMain(1, argv);
  SetWindowBackend(nullptr);
  return code;
}

struct CloseRun {
  double ms = -1.0;
  int status = -1;
};

// One run: a fresh pty flooded by a thread of ours, the program started as
// a child, the time from its close box to its end.
CloseRun CloseDuringFlood(const char* self, unsigned targetPort) {
  CloseRun run;
  int master = -1;
  int slave = -1;
  char slaveName[128] = {};
  if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) return run;
  char folder[] = "/tmp/quillon-close-XXXXXX";
  if (mkdtemp(folder) == nullptr) return run;
  const std::string config = std::string(folder) + "/ConfigFile";
  mkdir(config.c_str(), 0700);
  if (FILE* f = std::fopen((config + "/ports.ini").c_str(), "wb")) {
    std::fprintf(f, "[Ports]\r\nCOM3=%s\r\n", slaveName);
    std::fclose(f);
  }
  int timePipe[2];
  if (pipe(timePipe) != 0) return run;
  fcntl(timePipe[0], F_SETFD, FD_CLOEXEC);

  std::atomic<bool> stop{false};
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  std::thread device([&] {
    const std::string stream = DeviceStream('f');
    std::size_t at = 0;
    while (!stop.load()) {
      const ssize_t n = write(master, stream.data() + at, stream.size() - at);
      if (n > 0) {
        at = (at + static_cast<std::size_t>(n)) % stream.size();
      } else {
        pollfd out{master, POLLOUT, 0};
        poll(&out, 1, 20);
      }
    }
  });

  const std::string port = std::to_string(targetPort);
  const std::string fd = std::to_string(timePipe[1]);
  char* argv[] = {const_cast<char*>(self), const_cast<char*>("--close-during-flood"), folder,
                  const_cast<char*>(port.c_str()), const_cast<char*>(fd.c_str()), nullptr};
  pid_t child = -1;
  if (posix_spawn(&child, self, nullptr, nullptr, argv, environ) == 0) {
    close(timePipe[1]);
    long long closedAt = 0;
    const bool timed = read(timePipe[0], &closedAt, sizeof closedAt) == static_cast<ssize_t>(sizeof closedAt);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (timed) run.ms = static_cast<double>(now.tv_sec * 1000000000LL + now.tv_nsec - closedAt) / 1e6;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  } else {
    close(timePipe[1]);
  }
  close(timePipe[0]);
  stop.store(true);
  device.join();
  close(master);
  close(slave);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--close-during-flood") == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return RunProgramAndClose(argv[2], static_cast<unsigned>(std::atoi(argv[3])), std::atoi(argv[4]));
  }
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known

  int master = -1;
  int slave = -1;
  char slaveName[128] = {};
  if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
    std::fprintf(stderr, "bench_app: no pseudo-terminal\n");
    return 1;
  }
  int commandPipe[2];
  if (pipe(commandPipe) != 0) return 1;
  // The device process is forked before any thread or Qt object exists.
  const pid_t device = fork();
  if (device == 0) {
    close(commandPipe[1]);
    close(slave);
    RunDevice(master, commandPipe[0]);
  }
  close(commandPipe[0]);
  close(master);

  char folder[] = "/tmp/quillon-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  SetConfigDirOverride(std::string(folder) + "/ConfigFile");
  CreateDirectoryOneLevel(ConfigDir());
  if (FILE* f = std::fopen((ConfigDir() + "/ports.ini").c_str(), "wb")) {
    std::fprintf(f, "[Ports]\r\nCOM3=%s\r\n", slaveName);
    std::fclose(f);
  }

  // A receiver on 127.0.0.1 that nobody reads: the frames' last stop.
  const int sink = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (sink < 0 || bind(sink, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(sink, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::fprintf(stderr, "bench_app: no UDP socket on 127.0.0.1\n");
    return 1;
  }

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  EnsureQtApplication();
  SetMessageBoxHandler([](const std::string& text) { std::fprintf(stderr, "message: %s\n", GbkToUtf8(text).c_str()); });

  int status = 0;
  {
    TimedTemplate docTemplate;
    CQuillonDoc* doc = docTemplate.OpenDocumentFile(nullptr, true);
    auto* view = doc != nullptr ? static_cast<TimedView*>(docTemplate.GetView()) : nullptr;
    if (view == nullptr) {
      std::fprintf(stderr, "bench_app: no window\n");
      return 1;
    }

    view->GetDlgItemAs<CComboBox>(IDC_SERIAL_PORT)->SetCurSel(2);  // COM3
    view->GetDlgItemAs<CComboBox>(IDC_BAUD)->SetCurSel(0);         // 460800
    view->GetDlgItemAs<CButton>(IDC_CONNECT_SERIAL)->Click();
    view->m_ipTarget.SetAddress(127, 0, 0, 1);
    view->SetDlgItemText(IDC_TARGET_PORT, StrFormat("%u", ntohs(address.sin_port)));
    view->SetDlgItemText(IDC_LOCAL_PORT, StrFormat("%u", FreeLoopbackPort()));
    view->GetDlgItemAs<CComboBox>(IDC_FRAME_SIZE)->SetCurSel(3);  // 1024
    view->GetDlgItemAs<CButton>(IDC_START_PORT)->Click();
    view->GetDlgItemAs<CButton>(IDC_SEND_DATA)->Click();
    if (view->GetDlgItemText(IDC_CONNECT_SERIAL) != "释放串口") {
      std::fprintf(stderr, "bench_app: the serial port did not open\n");
      status = 1;
    } else {
      // One measured phase: the ticks and the CPU; with a device sending
      // (sends says how fast), also the CPU per thread and what the document
      // received and forwarded meanwhile.
      const std::string paced = StrFormat("%d", kBytesPerSecond);
      auto measure = [&](const char* phase, int settleMs, int measureMs, const char* sends) {
        RunEventLoopFor(settleMs);
        view->Record(true);
        const std::map<std::string, double> threadsBefore = ThreadCpuSeconds();
        const int bytesBefore = doc->GetBytesReceived();
        const int framesBefore = doc->GetFramesSent();
        const double cpu = CpuSeconds();
        const Clock::time_point start = Clock::now();
        RunEventLoopFor(measureMs);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double used = CpuSeconds() - cpu;
        view->Record(false);
        Report(phase, *view, used, wall);
        if (sends == nullptr) return;
        for (const auto& [name, total] : ThreadCpuSeconds()) {
          const auto before = threadsBefore.find(name);
          const double spent = total - (before != threadsBefore.end() ? before->second : 0.0);
          if (spent > 0.0) std::printf("    thread %-16s %.2f%% of one core\n", name.c_str(), 100.0 * spent / wall);
        }
        std::printf("  received %.0f bytes/s (the device sends %s), %.1f frames/s forwarded\n",
                    (doc->GetBytesReceived() - bytesBefore) / wall, sends, (doc->GetFramesSent() - framesBefore) / wall);
      };

      measure("port open, no bytes", 1000, 5000, nullptr);
      for (const auto& [kind, phase] : {std::pair{'b', "460800 baud, every byte value"},
                                        std::pair{'t', "460800 baud, GPS sentences"}}) {
        if (write(commandPipe[1], &kind, 1) != 1) status = 1;
        measure(phase, 1500, seconds * 1000, paced.c_str());  // the stream settles, the pane fills
      }

      // The flood: 256-byte frames (the network port restarted with them).
      view->GetDlgItemAs<CButton>(IDC_START_PORT)->Click();
      view->GetDlgItemAs<CComboBox>(IDC_FRAME_SIZE)->SetCurSel(1);  // 256
      view->GetDlgItemAs<CButton>(IDC_START_PORT)->Click();
      view->GetDlgItemAs<CButton>(IDC_SEND_DATA)->Click();  // closing the port stopped forwarding
      const char flood = 'f';
      if (write(commandPipe[1], &flood, 1) != 1) status = 1;
      measure("flood (as fast as the pty takes bytes, 256-byte frames)", 1500, seconds * 1000, "as fast as it can");
      std::printf("  peak RSS of the process (VmHWM): %.1f MiB\n", PeakRssMiB());

      // Silence again: the window settles at once.
      const char silence = 's';
      if (write(commandPipe[1], &silence, 1) != 1) status = 1;
      measure("the 3 s after the flood", 500, 3000, nullptr);
      if (write(commandPipe[1], &flood, 1) != 1) status = 1;
      RunEventLoopFor(1000);
    }

    // The program's shutdown order while the device still sends: the view's
    // window and timers, the frame, then the document (sink cleared, reader
    // ended, then the socket).
    const Clock::time_point closing = Clock::now();
    docTemplate.CloseAllDocuments();
    std::printf("close during the flood: windows gone, reader ended, socket closed after %.1f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - closing).count());
    kill(device, SIGTERM);
    waitpid(device, nullptr, 0);
  }
  close(slave);
  close(commandPipe[1]);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  SetConfigDirOverride("");

  // The real program, closed by its close box during a flood.
  std::vector<double> times;
  int failed = 0;
  for (int i = 0; i < 20; ++i) {
    const CloseRun run = CloseDuringFlood("/proc/self/exe", ntohs(address.sin_port));
    if (run.status != 0 || run.ms < 0) {
      ++failed;
      std::printf("  program run %d: exit status %d\n", i + 1, run.status);
      continue;
    }
    times.push_back(run.ms);
  }
  std::sort(times.begin(), times.end());
  if (!times.empty()) {
    std::printf("program closed by its close box during a flood: %zu runs with status 0, %d others; "
                "close to process end median %.1f ms, worst %.1f ms\n",
                times.size(), failed, times[times.size() / 2], times.back());
  }
  if (failed != 0) status = 1;
  close(sink);
  return status;
}
