// Headless bridge benchmark: a pty stands in for the serial port, the bridge
// runs as its own process, a receiver on 127.0.0.1 checks every datagram.
//
// Throughput: floods 64 MiB through the pty in 256-byte frames as fast as the
// bridge takes it; prints MiB/s and the bridge's CPU milliseconds per MiB, and
// fails the run if one byte is lost or changed.
// Latency: 46,080 bytes/s (460800 baud) written in 32-byte chunks on a fixed
// schedule; prints the time from the write of a frame's last byte to the
// arrival of its datagram (p50, p99) and the bridge's CPU seconds per MiB.
//
// For scale, each flood run is preceded by a bare relay (read the pty, one
// sendto per 256 bytes, nothing else) on the same machine at the same moment:
// the kernel's share that any relay pays here.
//
// Usage: bench_bridge_bench [--runs N] [--latency-seconds S] [--mib M]
// Medians over the runs are printed last.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_process.h"
#include "bridge/test_endpoints.h"

namespace {

constexpr int kFrame = 256;

std::int64_t NowNs() {
  timespec t {};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Number of read calls a process has made so far (syscr), or -1.
long long ProcessReadCalls(pid_t pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/io";
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return -1;
  long long value = -1;
  char key[64];
  long long number = 0;
  while (std::fscanf(file, "%63s %lld", key, &number) == 2) {
    if (std::strcmp(key, "syscr:") == 0) value = number;
  }
  std::fclose(file);
  return value;
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

// One bridge process on a fresh pty, sending to a fresh receiver.
struct Rig {
  PtyPair pty;
  UdpReceiver receiver;
  BridgeProcess bridge;
  std::string configDir;

  bool Start(const char* baud) {
    char pattern[] = "/tmp/quillon-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    configDir = pattern;
    if (!pty.Open() || !receiver.Open()) return false;
    std::vector<std::string> args = {"--port", pty.SlavePath(), "--baud", baud, "--frame", std::to_string(kFrame),
                                     "--target", "127.0.0.1:" + std::to_string(receiver.Port()),
                                     "--local-port", std::to_string(FreeUdpPort()), "--config-dir", configDir};
    if (!bridge.Start(QUILLON_BRIDGE_EXE, args)) return false;
    std::string line;
    if (!bridge.ReadLine(line, 30000)) {
      std::fprintf(stderr, "bridge did not start: %s\n", bridge.ReadAllErrors().c_str());
      return false;
    }
    return true;
  }

  // Stops the bridge; false if it did not end cleanly.
  bool Stop() {
    bridge.Signal(SIGTERM);
    bool clean = bridge.Wait(30000) == 0;
    rmdir(configDir.c_str());
    return clean;
  }
};

// Receives the flood on 127.0.0.1 and checks every datagram against the
// bytes written, in order.
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
    timeval timeout {0, 200000};
    setsockopt(m_receiver.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::int64_t quietSince = NowNs();
    const std::size_t total = m_data.size();
    while (m_received < total) {
      for (int i = 0; i < kBatch; ++i) {
        vectors[i] = {buffers.data() + i * 2048, 2048};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
      }
      int n = recvmmsg(m_receiver.Fd(), messages, kBatch, MSG_WAITFORONE, nullptr);
      if (n <= 0) {
        if (NowNs() - quietSince > 3000000000LL) break;  // nothing for 3 s: bytes were lost
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

struct ThroughputResult {
  bool ok = false;
  double mibPerSecond = 0;
  double cpuMsPerMib = 0;
};

ThroughputResult RunThroughput(const std::vector<std::uint8_t>& data) {
  ThroughputResult result;
  Rig rig;
  if (!rig.Start("115200")) return result;
  FloodChecker checker(rig.receiver, data);
  const std::int64_t cpuBefore = ProcessCpuNs(rig.bridge.Pid());
  const long long readsBefore = ProcessReadCalls(rig.bridge.Pid());
  const std::int64_t start = NowNs();
  bool written = rig.pty.Write(data.data(), data.size());
  checker.Join();
  const std::int64_t cpuAfter = ProcessCpuNs(rig.bridge.Pid());
  const long long reads = ProcessReadCalls(rig.bridge.Pid()) - readsBefore;
  bool clean = rig.Stop();

  const double mib = static_cast<double>(data.size()) / (1 << 20);
  result.mibPerSecond = mib / (static_cast<double>(checker.LastArrivalNs() - start) / 1e9);
  result.cpuMsPerMib = static_cast<double>(cpuAfter - cpuBefore) / 1e6 / mib;
  result.ok = written && clean && !checker.Damaged() && checker.Received() == data.size();
  std::printf("bridge flood: %.1f MiB/s, %.2f ms CPU per MiB, %.0f bytes per read, %zu of %zu bytes%s%s\n",
              result.mibPerSecond, result.cpuMsPerMib, static_cast<double>(data.size()) / static_cast<double>(reads),
              checker.Received(), data.size(), checker.Damaged() ? ", DAMAGED" : "", clean ? "" : ", unclean stop");
  return result;
}

// The floor under the bridge on this machine at this moment: a bare relay
// thread that reads the pty 4096 bytes at a time and sends each 256 bytes
// with one sendto, with no per-byte work at all.
ThroughputResult RunBareRelay(const std::vector<std::uint8_t>& data) {
  ThroughputResult result;
  PtyPair pty;
  UdpReceiver receiver;
  if (!pty.Open() || !receiver.Open()) return result;
  int port = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  int out = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (port < 0 || out < 0) return result;
  sockaddr_in target {};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  target.sin_port = htons(receiver.Port());

  FloodChecker checker(receiver, data);
  std::int64_t relayCpuNs = 0;
  std::size_t relayReads = 1;
  std::thread relay([&] {
    std::uint8_t frame[kFrame];
    std::size_t fill = 0, relayed = 0, reads = 0;
    std::uint8_t buffer[4096];
    while (relayed < data.size()) {
      pollfd p {port, POLLIN, 0};
      if (poll(&p, 1, 3000) <= 0) break;
      ssize_t n = read(port, buffer, sizeof buffer);
      if (n <= 0) break;
      ++reads;
      for (ssize_t i = 0; i < n; ++i) {
        frame[fill++] = buffer[i];
        if (fill == kFrame) {
          sendto(out, frame, kFrame, 0, reinterpret_cast<sockaddr*>(&target), sizeof target);
          fill = 0;
        }
      }
      relayed += static_cast<std::size_t>(n);
    }
    timespec used {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    relayCpuNs = static_cast<std::int64_t>(used.tv_sec) * 1000000000 + used.tv_nsec;
    relayReads = reads;
  });
  const std::int64_t start = NowNs();
  bool written = pty.Write(data.data(), data.size());
  checker.Join();
  relay.join();
  close(port);
  close(out);

  const double mib = static_cast<double>(data.size()) / (1 << 20);
  result.mibPerSecond = mib / (static_cast<double>(checker.LastArrivalNs() - start) / 1e9);
  result.cpuMsPerMib = static_cast<double>(relayCpuNs) / 1e6 / mib;
  result.ok = written && !checker.Damaged() && checker.Received() == data.size();
  std::printf("bare relay:   %.1f MiB/s, %.2f ms CPU per MiB, %.0f bytes per read, %zu of %zu bytes\n",
              result.mibPerSecond, result.cpuMsPerMib,
              static_cast<double>(data.size()) / static_cast<double>(std::max<std::size_t>(relayReads, 1)),
              checker.Received(), data.size());
  return result;
}

struct LatencyResult {
  bool ok = false;
  double p50Us = 0;
  double p99Us = 0;
  double cpuSecondsPerMib = 0;
};

LatencyResult RunLatency(double seconds) {
  LatencyResult result;
  Rig rig;
  if (!rig.Start("460800")) return result;
  constexpr int kChunk = 32;
  constexpr int kRate = 46080;
  const std::int64_t periodNs = 1000000000LL * kChunk / kRate;  // 694,444 ns
  const int frames = static_cast<int>(seconds * kRate / kFrame);
  const std::vector<std::uint8_t> data = TestBytes(static_cast<std::size_t>(frames) * kFrame);

  std::vector<std::int64_t> written(static_cast<size_t>(frames), 0);
  std::vector<std::int64_t> arrived(static_cast<size_t>(frames), 0);
  std::atomic<bool> damaged{false};
  std::thread receiver([&] {
    timeval timeout {0, 200000};
    setsockopt(rig.receiver.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::uint8_t buffer[2048];
    std::int64_t quietSince = NowNs();
    for (int frame = 0; frame < frames;) {
      ssize_t n = recv(rig.receiver.Fd(), buffer, sizeof buffer, 0);
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

  const std::int64_t cpuBefore = ProcessCpuNs(rig.bridge.Pid());
  const std::int64_t start = NowNs() + 1000000;
  const int chunks = frames * (kFrame / kChunk);
  for (int k = 0; k < chunks; ++k) {
    std::int64_t due = start + k * periodNs;
    timespec at {static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    rig.pty.Write(data.data() + static_cast<size_t>(k) * kChunk, kChunk);
    if ((k + 1) % (kFrame / kChunk) == 0) written[static_cast<size_t>(k / (kFrame / kChunk))] = NowNs();
  }
  receiver.join();
  const std::int64_t cpuAfter = ProcessCpuNs(rig.bridge.Pid());
  bool clean = rig.Stop();

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
  std::printf("latency at 460800 baud: p50 %.0f us, p99 %.0f us, %.3f s CPU per MiB, %zu of %d frames%s\n",
              result.p50Us, result.p99Us, result.cpuSecondsPerMib, latencies.size(), frames,
              damaged ? ", DAMAGED" : "");
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  double latencySeconds = 5;
  int mib = 64;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--latency-seconds") latencySeconds = std::max(1.0, std::atof(argv[i + 1]));
    if (name == "--mib") mib = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::vector<std::uint8_t> data = TestBytes(static_cast<std::size_t>(mib) << 20);

  bool allOk = true;
  std::vector<double> rates, cpu, floorRates, floorCpu;
  for (int r = 0; r < runs; ++r) {
    ThroughputResult floor = RunBareRelay(data);
    floorRates.push_back(floor.mibPerSecond);
    floorCpu.push_back(floor.cpuMsPerMib);
    ThroughputResult t = RunThroughput(data);
    allOk = allOk && t.ok;
    rates.push_back(t.mibPerSecond);
    cpu.push_back(t.cpuMsPerMib);
  }
  std::vector<double> p50, p99, cpuSlow;
  for (int r = 0; r < runs; ++r) {
    LatencyResult l = RunLatency(latencySeconds);
    allOk = allOk && l.ok;
    p50.push_back(l.p50Us);
    p99.push_back(l.p99Us);
    cpuSlow.push_back(l.cpuSecondsPerMib);
  }
  std::printf("\nmedians of %d runs (%d MiB flood, %.0f s at 460800 baud, %d-byte frames):\n", runs, mib,
              latencySeconds, kFrame);
  std::printf("  throughput            %.1f MiB/s   (bare relay %.1f MiB/s)\n", Median(rates), Median(floorRates));
  std::printf("  CPU per MiB (flood)   %.2f ms   (bare relay %.2f ms)\n", Median(cpu), Median(floorCpu));
  std::printf("  CPU per MiB (460800)  %.3f s\n", Median(cpuSlow));
  std::printf("  frame latency p50     %.0f us\n", Median(p50));
  std::printf("  frame latency p99     %.0f us\n", Median(p99));
  std::printf("  every byte arrived unchanged: %s\n", allOk ? "yes" : "NO");
  return allOk ? 0 : 1;
}
