// Headless bridge benchmark: a pty stands in for the serial port, the bridge
// runs as its own process, a receiver on 127.0.0.1 checks every datagram.
//
// Flood: 64 MiB through the pty in 256-byte frames as fast as the bridge takes
// them; prints MiB/s and the bridge's CPU milliseconds per MiB, and fails the
// run if one byte is lost or changed.
// Paced: 46,080 bytes/s (460800 baud) written in 32-byte chunks on a fixed
// schedule; prints the time from the write of a frame's last byte to the
// arrival of its datagram (p50, p99) and the bridge's CPU seconds per MiB.
//
// For scale, every run is repeated with a bare relay in place of the bridge: a
// thread that reads the pty 4096 bytes at a time and sends each 256 bytes with
// one sendto, with no per-byte work at all. It is what the kernel charges any
// relay on this machine at this moment.
//
// Usage: bench_bridge_bench [--runs N] [--paced-seconds S] [--mib M]
// Medians over the runs are printed last.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_process.h"
#include "support/pty_pair.h"
#include "support/udp_receiver.h"

namespace {

constexpr int kFrame = 256;

std::int64_t NowNs() {
  timespec t {};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t ClockNs(clockid_t clock) {
  timespec t {};
  if (clock_gettime(clock, &t) != 0) return -1;
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// CPU time of every thread of a process, in nanoseconds (the first field of
// each task's schedstat).
std::int64_t ProcessCpuNs(pid_t pid) {
  std::string dirName = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(dirName.c_str());
  if (dir == nullptr) return -1;
  std::int64_t total = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::string path = dirName + "/" + entry->d_name + "/schedstat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) continue;
    long long ns = 0;
    if (std::fscanf(file, "%lld", &ns) == 1) total += ns;
    std::fclose(file);
  }
  closedir(dir);
  return total;
}

std::vector<std::uint8_t> TestBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// Something that forwards the pty's bytes to the receiver in 256-byte frames.
class Relay {
 public:
  virtual ~Relay() = default;
  virtual const char* Name() const = 0;
  // Starts forwarding from the pty slave at path to 127.0.0.1:port.
  virtual bool Start(const std::string& path, std::uint16_t port, const char* baud) = 0;
  // CPU time used so far, in nanoseconds.
  virtual std::int64_t CpuNs() = 0;
  // Stops; false if it did not end cleanly.
  virtual bool Stop() = 0;
};

class BridgeRelay : public Relay {
 public:
  const char* Name() const override { return "bridge"; }
  bool Start(const std::string& path, std::uint16_t port, const char* baud) override {
    char pattern[] = "/tmp/quillon-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    m_configDir = pattern;
    std::vector<std::string> args = {"--port", path, "--baud", baud, "--frame", std::to_string(kFrame),
                                     "--target", "127.0.0.1:" + std::to_string(port),
                                     "--local-port", std::to_string(FreeUdpPort()), "--config-dir", m_configDir};
    if (!m_bridge.Start(QUILLON_BRIDGE_EXE, args)) return false;
    std::string line;  // the bridge says when it forwards
    if (!m_bridge.ReadLine(line, 30000)) {
      std::fprintf(stderr, "bridge did not start: %s\n", m_bridge.ReadAllErrors().c_str());
      return false;
    }
    return true;
  }
  std::int64_t CpuNs() override { return ProcessCpuNs(m_bridge.Pid()); }
  bool Stop() override {
    m_bridge.Signal(SIGTERM);
    bool clean = m_bridge.Wait(30000) == 0;
    rmdir(m_configDir.c_str());
    return clean;
  }

 private:
  BridgeProcess m_bridge;
  std::string m_configDir;
};

class BareRelay : public Relay {
 public:
  ~BareRelay() override { Stop(); }
  const char* Name() const override { return "bare relay"; }
  bool Start(const std::string& path, std::uint16_t port, const char* baud) override {
    m_port = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    // The bridge makes its port raw itself; a bare relay must too, or the
    // line discipline would hold bytes back for lines and rewrite some.
    termios raw {};
    if (m_port >= 0 && tcgetattr(m_port, &raw) == 0) {
      cfmakeraw(&raw);
      tcsetattr(m_port, TCSANOW, &raw);
    }
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    m_stop = eventfd(0, EFD_CLOEXEC);
    if (m_port < 0 || m_socket < 0 || m_stop < 0) return false;
    m_target.sin_family = AF_INET;
    m_target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_target.sin_port = htons(port);
    m_thread = std::thread([this] { Run(); });
    return pthread_getcpuclockid(m_thread.native_handle(), &m_clock) == 0;
  }
  std::int64_t CpuNs() override { return ClockNs(m_clock); }
  bool Stop() override {
    if (m_thread.joinable()) {
      std::uint64_t one = 1;
      if (write(m_stop, &one, sizeof one) < 0) return false;
      m_thread.join();
    }
    for (int* fd : {&m_port, &m_socket, &m_stop}) {
      if (*fd >= 0) close(*fd);
      *fd = -1;
    }
    return true;
  }

 private:
  void Run() {
    std::uint8_t frame[kFrame];
    std::size_t fill = 0;
    std::uint8_t buffer[4096];
    for (;;) {
      pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_port, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 || fds[0].revents != 0) return;
      ssize_t n = read(m_port, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t i = 0; i < n; ++i) {
        frame[fill++] = buffer[i];
        if (fill == kFrame) {
          sendto(m_socket, frame, kFrame, 0, reinterpret_cast<sockaddr*>(&m_target), sizeof m_target);
          fill = 0;
        }
      }
    }
  }

  int m_port = -1;
  int m_socket = -1;
  int m_stop = -1;
  sockaddr_in m_target {};
  std::thread m_thread;
  clockid_t m_clock {};
};

// Receives the flood on 127.0.0.1 and checks every datagram against the
// bytes written, in order. It drains its socket every millisecond rather than
// sleeping in recv: a receiver on another host costs the sender nothing, but
// one waiting on this host would add a wake-up to most of the sender's sends.
// The socket's 4 MiB buffer holds far more than a millisecond of the flood.
class FloodChecker {
 public:
  FloodChecker(UdpReceiver& receiver, const std::vector<std::uint8_t>& data)
      : m_receiver(receiver), m_data(data), m_thread([this] { Run(); }) {}
  // Waits until everything arrived or nothing came for 3 seconds.
  void Join() { m_thread.join(); }
  std::size_t Received() const { return m_received; }
  bool Damaged() const { return m_damaged; }
  std::int64_t LastArrivalNs() const { return m_lastArrival; }

 private:
  void Run() {
    constexpr int kBatch = 64;
    std::vector<std::uint8_t> buffers(kBatch * 2048);
    mmsghdr messages[kBatch];
    iovec vectors[kBatch];
    std::int64_t quietSince = NowNs();
    const std::size_t total = m_data.size();
    while (m_received < total) {
      for (int i = 0; i < kBatch; ++i) {
        vectors[i] = {buffers.data() + i * 2048, 2048};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
      }
      int n = recvmmsg(m_receiver.Fd(), messages, kBatch, MSG_DONTWAIT, nullptr);
      if (n <= 0) {
        if (NowNs() - quietSince > 3000000000LL) break;  // nothing for 3 s: bytes were lost
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      quietSince = NowNs();
      for (int i = 0; i < n; ++i) {
        std::size_t length = messages[i].msg_len;
        if (length != kFrame || m_received + length > total ||
            std::memcmp(buffers.data() + i * 2048, m_data.data() + m_received, length) != 0) {
          m_damaged = true;
        }
        m_received += length;
      }
      m_lastArrival = quietSince;
    }
  }

  UdpReceiver& m_receiver;
  const std::vector<std::uint8_t>& m_data;
  std::size_t m_received = 0;
  bool m_damaged = false;
  std::int64_t m_lastArrival = 0;
  std::thread m_thread;
};

struct FloodResult {
  bool ok = false;
  double mibPerSecond = 0;
  double cpuMsPerMib = 0;
};

FloodResult RunFlood(Relay& relay, const std::vector<std::uint8_t>& data) {
  FloodResult result;
  PtyPair pty;
  UdpReceiver receiver;
  if (!pty.Open() || !receiver.Open() || !relay.Start(pty.path, receiver.Port(), "115200")) return result;
  FloodChecker checker(receiver, data);
  const std::int64_t cpuBefore = relay.CpuNs();
  const std::int64_t start = NowNs();
  bool written = pty.WriteMaster(data.data(), data.size());
  checker.Join();
  const std::int64_t cpuAfter = relay.CpuNs();
  bool clean = relay.Stop();

  const double mib = static_cast<double>(data.size()) / (1 << 20);
  result.mibPerSecond = mib / (static_cast<double>(checker.LastArrivalNs() - start) / 1e9);
  result.cpuMsPerMib = static_cast<double>(cpuAfter - cpuBefore) / 1e6 / mib;
  result.ok = written && clean && !checker.Damaged() && checker.Received() == data.size();
  std::printf("%-10s flood: %.1f MiB/s, %.2f ms CPU per MiB, %zu of %zu bytes%s%s\n", relay.Name(),
              result.mibPerSecond, result.cpuMsPerMib, checker.Received(), data.size(),
              checker.Damaged() ? ", DAMAGED" : "", clean ? "" : ", unclean stop");
  return result;
}

struct PacedResult {
  bool ok = false;
  double p50Us = 0;
  double p99Us = 0;
  double cpuSecondsPerMib = 0;
};

PacedResult RunPaced(Relay& relay, double seconds) {
  PacedResult result;
  PtyPair pty;
  UdpReceiver receiver;
  if (!pty.Open() || !receiver.Open() || !relay.Start(pty.path, receiver.Port(), "460800")) return result;
  constexpr int kChunk = 32;
  constexpr int kRate = 46080;
  const std::int64_t periodNs = 1000000000LL * kChunk / kRate;  // 694,444 ns
  const int frames = static_cast<int>(seconds * kRate / kFrame);
  const std::vector<std::uint8_t> data = TestBytes(static_cast<std::size_t>(frames) * kFrame);

  // The receiver sleeps in recv here: latency is what is measured.
  std::vector<std::int64_t> written(static_cast<size_t>(frames), 0);
  std::vector<std::int64_t> arrived(static_cast<size_t>(frames), 0);
  std::atomic<bool> damaged{false};
  std::thread receiverThread([&] {
    timeval timeout {0, 200000};
    setsockopt(receiver.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::uint8_t buffer[2048];
    std::int64_t quietSince = NowNs();
    for (int frame = 0; frame < frames;) {
      ssize_t n = recv(receiver.Fd(), buffer, sizeof buffer, 0);
      std::int64_t now = NowNs();
      if (n < 0) {
        if (now - quietSince > 3000000000LL) break;
        continue;
      }
      quietSince = now;
      if (n != kFrame || std::memcmp(buffer, data.data() + static_cast<size_t>(frame) * kFrame, kFrame) != 0) {
        damaged = true;
      }
      arrived[static_cast<size_t>(frame++)] = now;
    }
  });

  const std::int64_t cpuBefore = relay.CpuNs();
  const std::int64_t start = NowNs() + 1000000;
  const int chunks = frames * (kFrame / kChunk);
  for (int k = 0; k < chunks; ++k) {
    std::int64_t due = start + k * periodNs;
    timespec at {static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    pty.WriteMaster(data.data() + static_cast<size_t>(k) * kChunk, kChunk);
    if ((k + 1) % (kFrame / kChunk) == 0) written[static_cast<size_t>(k / (kFrame / kChunk))] = NowNs();
  }
  receiverThread.join();
  const std::int64_t cpuAfter = relay.CpuNs();
  bool clean = relay.Stop();

  std::vector<double> latencies;
  for (int f = 0; f < frames; ++f) {
    if (arrived[static_cast<size_t>(f)] == 0) break;
    latencies.push_back(static_cast<double>(arrived[static_cast<size_t>(f)] - written[static_cast<size_t>(f)]) / 1e3);
  }
  const double mib = static_cast<double>(data.size()) / (1 << 20);
  result.p50Us = Percentile(latencies, 0.50);
  result.p99Us = Percentile(latencies, 0.99);
  result.cpuSecondsPerMib = static_cast<double>(cpuAfter - cpuBefore) / 1e9 / mib;
  result.ok = clean && !damaged && static_cast<int>(latencies.size()) == frames;
  std::printf("%-10s paced: p50 %.0f us, p99 %.0f us, %.3f s CPU per MiB, %zu of %d frames%s\n", relay.Name(),
              result.p50Us, result.p99Us, result.cpuSecondsPerMib, latencies.size(), frames,
              damaged ? ", DAMAGED" : "");
  return result;
}

struct Series {
  std::vector<double> rate, floodCpu, p50, p99, pacedCpu;
};

// A fresh relay for each run: the bridge process or the bare forwarder.
std::unique_ptr<Relay> MakeRelay(bool bridge) {
  if (bridge) return std::make_unique<BridgeRelay>();
  return std::make_unique<BareRelay>();
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  double pacedSeconds = 5;
  int mib = 64;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--paced-seconds") pacedSeconds = std::max(1.0, std::atof(argv[i + 1]));
    if (name == "--mib") mib = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::vector<std::uint8_t> data = TestBytes(static_cast<std::size_t>(mib) << 20);

  bool allOk = true;
  Series bridge, bare;
  for (int r = 0; r < runs; ++r) {
    // Alternated, so that both see the machine in the same state.
    for (Series* series : {&bare, &bridge}) {
      std::unique_ptr<Relay> relay = MakeRelay(series == &bridge);
      FloodResult flood = RunFlood(*relay, data);
      series->rate.push_back(flood.mibPerSecond);
      series->floodCpu.push_back(flood.cpuMsPerMib);
      if (series == &bridge) allOk = allOk && flood.ok;
    }
    for (Series* series : {&bare, &bridge}) {
      std::unique_ptr<Relay> relay = MakeRelay(series == &bridge);
      PacedResult paced = RunPaced(*relay, pacedSeconds);
      series->p50.push_back(paced.p50Us);
      series->p99.push_back(paced.p99Us);
      series->pacedCpu.push_back(paced.cpuSecondsPerMib);
      if (series == &bridge) allOk = allOk && paced.ok;
    }
  }
  std::printf("\nmedians of %d runs (%d MiB flood, %.0f s at 460800 baud, %d-byte frames):\n", runs, mib,
              pacedSeconds, kFrame);
  std::printf("                          bridge    bare relay\n");
  std::printf("  flood throughput MiB/s  %7.1f   %7.1f\n", Median(bridge.rate), Median(bare.rate));
  std::printf("  flood CPU ms per MiB    %7.2f   %7.2f\n", Median(bridge.floodCpu), Median(bare.floodCpu));
  std::printf("  460800 CPU s per MiB    %7.3f   %7.3f\n", Median(bridge.pacedCpu), Median(bare.pacedCpu));
  std::printf("  frame latency p50 us    %7.0f   %7.0f\n", Median(bridge.p50), Median(bare.p50));
  std::printf("  frame latency p99 us    %7.0f   %7.0f\n", Median(bridge.p99), Median(bare.p99));
  std::printf("  bridge: every byte arrived unchanged: %s\n", allOk ? "yes" : "NO");
  return allOk ? 0 : 1;
}
