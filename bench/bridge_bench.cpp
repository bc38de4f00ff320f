// Headless bridge benchmark: a pty stands in for the serial port, the bridge
// runs as its own process, a receiver on 127.0.0.1 checks every datagram.
//
// Flood: M MiB through the pty as fast as the relay takes them; prints MiB/s,
// the relay's CPU milliseconds per MiB and the datagrams lost, and fails the
// run if the bridge sends one byte changed or out of order.
// Paced: 46,080 bytes/s (460800 baud) written in 32-byte chunks on a fixed
// schedule; prints the time from the write of a frame's last byte (its start)
// to the arrival of its datagram (p50, p99) and the relay's CPU seconds per MiB.
// Both run at frame sizes 128, 256 and 1024.
//
// For scale, every run is repeated in place of the bridge with
//   - a bare relay: a thread that reads the pty 4096 bytes at a time and
//     sends each whole frame with one sendto, with no per-byte work at all;
//   - a bare batched relay: the same, but every whole frame of a read block
//     leaves in one sendmsg with UDP_SEGMENT;
//   - a plain reader (flood only): reads the pty and throws the bytes away.
// They are the floors the kernel sets any relay on this machine at this
// moment: one system call per datagram, one per block, the pty itself.
// With --baseline PATH an older quillon-bridge runs beside this one.
//
// The test stream carries each frame's number in its first four bytes, so
// the receiver tells a lost datagram from a changed one. The flood receiver
// drains its socket with recvmmsg on its own thread and naps when it is
// empty instead of sleeping in recv: a receiver on another host costs the
// sender nothing, one waiting on this host would add a wake-up to most sends.
//
// Usage: bench_bridge_bench [--runs N] [--paced-seconds S] [--mib M]
//                           [--baseline PATH]
// Medians over the runs are printed last.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/udp.h>
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
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/headless/bridge_process.h"
#include "platform/posix/udp_segment.h"
#include "support/pty_pair.h"
#include "support/udp_receiver.h"

namespace {

constexpr int kFrameSizes[] = {128, 256, 1024};

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

// Pseudo-random bytes in frames of frameSize, each beginning with its number.
std::vector<std::uint8_t> TestBytes(std::size_t size, int frameSize) {
  std::vector<std::uint8_t> bytes(size);
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  for (std::size_t frame = 0; (frame + 1) * static_cast<std::size_t>(frameSize) <= size; ++frame) {
    const auto number = static_cast<std::uint32_t>(frame);
    std::memcpy(bytes.data() + frame * static_cast<std::size_t>(frameSize), &number, sizeof number);
  }
  return bytes;
}

std::uint32_t FrameNumber(const std::uint8_t* datagram) {
  std::uint32_t number;
  std::memcpy(&number, datagram, sizeof number);
  return number;
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

// A large receive buffer: forced past rmem_max where we may (root in the
// bench's own network namespace), else as large as the system allows.
void EnlargeReceiveBuffer(int fd) {
  int size = 64 << 20;
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
}

// Something that forwards the pty's bytes to the receiver in frames.
class Relay {
 public:
  virtual ~Relay() = default;
  // Starts forwarding from the pty slave at path to 127.0.0.1:port.
  virtual bool Start(const std::string& path, std::uint16_t port, const char* baud, int frameSize) = 0;
  // CPU time used so far, in nanoseconds.
  virtual std::int64_t CpuNs() = 0;
  // Bytes taken from the pty so far (relays in this process only).
  virtual std::size_t BytesRead() const { return 0; }
  virtual std::int64_t LastReadNs() const { return 0; }
  // Stops; false if it did not end cleanly.
  virtual bool Stop() = 0;
};

class BridgeRelay : public Relay {
 public:
  explicit BridgeRelay(std::string program) : m_program(std::move(program)) {}
  bool Start(const std::string& path, std::uint16_t port, const char* baud, int frameSize) override {
    char pattern[] = "/tmp/quillon-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    m_configDir = pattern;
    std::vector<std::string> args = {"--port", path, "--baud", baud, "--frame", std::to_string(frameSize),
                                     "--target", "127.0.0.1:" + std::to_string(port),
                                     "--local-port", std::to_string(FreeUdpPort()), "--config-dir", m_configDir};
    if (!m_bridge.Start(m_program, args)) return false;
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
  std::string m_program;
  BridgeProcess m_bridge;
  std::string m_configDir;
};

// A thread on the raw pty that hands every block read to Forward.
class ThreadRelay : public Relay {
 public:
  ~ThreadRelay() override { Stop(); }
  bool Start(const std::string& path, std::uint16_t port, const char* baud, int frameSize) override {
    m_frameSize = static_cast<std::size_t>(frameSize);
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
  std::size_t BytesRead() const override { return m_read.load(); }
  std::int64_t LastReadNs() const override { return m_lastRead.load(); }
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

 protected:
  // Called with the frame buffer: fill bytes carried over, then the block.
  // Returns how many bytes it consumed from the front (whole frames).
  virtual std::size_t Forward(const std::uint8_t* data, std::size_t length) = 0;

  std::size_t m_frameSize = 256;
  int m_socket = -1;
  sockaddr_in m_target {};

 private:
  void Run() {
    std::vector<std::uint8_t> buffer(4096 + m_frameSize);
    std::size_t fill = 0;
    for (;;) {
      pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_port, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 || fds[0].revents != 0) return;
      ssize_t n = read(m_port, buffer.data() + fill, 4096);
      if (n <= 0) return;
      m_read.store(m_read.load(std::memory_order_relaxed) + static_cast<std::size_t>(n),
                   std::memory_order_relaxed);
      m_lastRead.store(NowNs(), std::memory_order_relaxed);
      fill += static_cast<std::size_t>(n);
      std::size_t used = Forward(buffer.data(), fill);
      std::memmove(buffer.data(), buffer.data() + used, fill - used);
      fill -= used;
    }
  }

  int m_port = -1;
  int m_stop = -1;
  std::thread m_thread;
  clockid_t m_clock {};
  std::atomic<std::size_t> m_read{0};
  std::atomic<std::int64_t> m_lastRead{0};
};

// One sendto per frame.
class BareRelay : public ThreadRelay {
 protected:
  std::size_t Forward(const std::uint8_t* data, std::size_t length) override {
    std::size_t used = 0;
    for (; used + m_frameSize <= length; used += m_frameSize) {
      sendto(m_socket, data + used, m_frameSize, 0, reinterpret_cast<sockaddr*>(&m_target), sizeof m_target);
    }
    return used;
  }
};

// Every whole frame of the block in one sendmsg with UDP_SEGMENT (64 at most).
class BareBatchedRelay : public ThreadRelay {
 protected:
  std::size_t Forward(const std::uint8_t* data, std::size_t length) override {
    std::size_t frames = length / m_frameSize;
    std::size_t used = 0;
    while (frames > 0) {
      const std::size_t n = std::min<std::size_t>(frames, 64);
      if (n == 1) {
        sendto(m_socket, data + used, m_frameSize, 0, reinterpret_cast<sockaddr*>(&m_target), sizeof m_target);
      } else {
        CSegmentedSend send(&m_target, data + used, n * m_frameSize, static_cast<std::uint16_t>(m_frameSize));
        sendmsg(m_socket, &send.message, 0);
      }
      used += n * m_frameSize;
      frames -= n;
    }
    return used;
  }
};

// Reads and sends nothing: what the pty gives a reader that does no work.
class PlainReader : public ThreadRelay {
 protected:
  std::size_t Forward(const std::uint8_t*, std::size_t length) override { return length; }
};

// Receives the flood on 127.0.0.1 and checks every datagram against the
// bytes written, in order; counts the datagrams that never came.
class FloodChecker {
 public:
  FloodChecker(UdpReceiver& receiver, const std::vector<std::uint8_t>& data, int frameSize)
      : m_receiver(receiver), m_data(data), m_frameSize(static_cast<std::size_t>(frameSize)),
        m_thread([this] { Run(); }) {}
  // Waits until everything arrived or nothing came for 2 seconds.
  void Join() { m_thread.join(); }
  std::size_t Frames() const { return m_data.size() / m_frameSize; }
  std::size_t Received() const { return m_received; }
  std::size_t Lost() const { return Frames() - m_received; }
  bool Damaged() const { return m_damaged; }
  std::int64_t LastArrivalNs() const { return m_lastArrival; }

 private:
  void Run() {
    constexpr int kBatch = 256;
    constexpr std::size_t kSlot = 2048;
    std::vector<std::uint8_t> buffers(kBatch * kSlot);
    std::vector<mmsghdr> messages(kBatch);
    std::vector<iovec> vectors(kBatch);
    std::int64_t quietSince = NowNs();
    const std::size_t frames = Frames();
    std::size_t next = 0;  // the frame number expected next
    while (next < frames) {
      for (int i = 0; i < kBatch; ++i) {
        vectors[i] = {buffers.data() + i * kSlot, kSlot};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
      }
      int n = recvmmsg(m_receiver.Fd(), messages.data(), kBatch, MSG_DONTWAIT, nullptr);
      if (n <= 0) {
        if (NowNs() - quietSince > 2000000000LL) break;  // nothing for 2 s: the rest was lost
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        continue;
      }
      quietSince = NowNs();
      for (int i = 0; i < n; ++i) {
        const std::uint8_t* datagram = buffers.data() + i * kSlot;
        const std::size_t number = messages[i].msg_len >= 4 ? FrameNumber(datagram) : frames;
        if (messages[i].msg_len != m_frameSize || number < next || number >= frames ||
            std::memcmp(datagram, m_data.data() + number * m_frameSize, m_frameSize) != 0) {
          m_damaged = true;
          continue;
        }
        next = number + 1;
        ++m_received;
      }
      m_lastArrival = quietSince;
    }
  }

  UdpReceiver& m_receiver;
  const std::vector<std::uint8_t>& m_data;
  std::size_t m_frameSize;
  std::size_t m_received = 0;
  bool m_damaged = false;
  std::int64_t m_lastArrival = 0;
  std::thread m_thread;
};

struct FloodResult {
  bool ok = false;
  double mibPerSecond = 0;
  double cpuMsPerMib = 0;
  double lost = 0;
};

FloodResult RunFlood(const char* name, Relay& relay, const std::vector<std::uint8_t>& data, int frameSize,
                     bool receives) {
  FloodResult result;
  PtyPair pty;
  UdpReceiver receiver;
  if (!pty.Open() || !receiver.Open()) return result;
  EnlargeReceiveBuffer(receiver.Fd());
  if (!relay.Start(pty.path, receiver.Port(), "115200", frameSize)) return result;
  std::unique_ptr<FloodChecker> checker;
  if (receives) checker = std::make_unique<FloodChecker>(receiver, data, frameSize);
  const std::int64_t cpuBefore = relay.CpuNs();
  const std::int64_t start = NowNs();
  bool written = pty.WriteMaster(data.data(), data.size());
  std::int64_t end;
  if (checker) {
    checker->Join();
    end = checker->LastArrivalNs();
  } else {
    for (int waited = 0; relay.BytesRead() < data.size() && waited < 20000; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    end = relay.LastReadNs();
  }
  const std::int64_t cpuAfter = relay.CpuNs();
  bool clean = relay.Stop();

  const double mib = static_cast<double>(data.size()) / (1 << 20);
  result.mibPerSecond = mib / (static_cast<double>(end - start) / 1e9);
  result.cpuMsPerMib = static_cast<double>(cpuAfter - cpuBefore) / 1e6 / mib;
  if (checker) {
    result.lost = static_cast<double>(checker->Lost());
    result.ok = written && clean && !checker->Damaged();
    std::printf("  %-13s %4d flood: %6.1f MiB/s, %6.2f ms CPU per MiB, %zu of %zu datagrams, %zu lost%s%s\n", name,
                frameSize, result.mibPerSecond, result.cpuMsPerMib, checker->Received(), checker->Frames(),
                checker->Lost(), checker->Damaged() ? ", DAMAGED" : "", clean ? "" : ", unclean stop");
  } else {
    result.ok = written && clean && relay.BytesRead() == data.size();
    std::printf("  %-13s      flood: %6.1f MiB/s, %6.2f ms CPU per MiB\n", name, result.mibPerSecond,
                result.cpuMsPerMib);
  }
  std::fflush(stdout);
  return result;
}

struct PacedResult {
  bool ok = false;
  double p50Us = 0;
  double p99Us = 0;
  double cpuSecondsPerMib = 0;
  double lost = 0;
};

PacedResult RunPaced(const char* name, Relay& relay, double seconds, int frameSize) {
  PacedResult result;
  PtyPair pty;
  UdpReceiver receiver;
  if (!pty.Open() || !receiver.Open() || !relay.Start(pty.path, receiver.Port(), "460800", frameSize)) {
    return result;
  }
  constexpr int kChunk = 32;
  constexpr int kRate = 46080;
  const std::int64_t periodNs = 1000000000LL * kChunk / kRate;  // 694,444 ns
  const int frames = static_cast<int>(seconds * kRate / frameSize);
  const std::vector<std::uint8_t> data = TestBytes(static_cast<std::size_t>(frames) * frameSize, frameSize);

  // The receiver sleeps in recv here: latency is what is measured.
  std::vector<std::int64_t> written(static_cast<size_t>(frames), 0);
  std::vector<std::int64_t> arrived(static_cast<size_t>(frames), 0);
  std::atomic<bool> damaged{false};
  std::thread receiverThread([&] {
    timeval timeout {0, 200000};
    setsockopt(receiver.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::vector<std::uint8_t> buffer(2048);
    std::int64_t quietSince = NowNs();
    for (int next = 0; next < frames;) {
      ssize_t n = recv(receiver.Fd(), buffer.data(), buffer.size(), 0);
      std::int64_t now = NowNs();
      if (n < 0) {
        if (now - quietSince > 2000000000LL) break;
        continue;
      }
      quietSince = now;
      const std::uint32_t number = n >= 4 ? FrameNumber(buffer.data()) : static_cast<std::uint32_t>(frames);
      if (n != frameSize || number < static_cast<std::uint32_t>(next) || number >= static_cast<std::uint32_t>(frames) ||
          std::memcmp(buffer.data(), data.data() + static_cast<size_t>(number) * frameSize, frameSize) != 0) {
        damaged = true;
        continue;
      }
      arrived[number] = now;
      next = static_cast<int>(number) + 1;
    }
  });

  const std::int64_t cpuBefore = relay.CpuNs();
  const std::int64_t start = NowNs() + 1000000;
  const int chunksPerFrame = frameSize / kChunk;
  const int chunks = frames * chunksPerFrame;
  for (int k = 0; k < chunks; ++k) {
    std::int64_t due = start + k * periodNs;
    timespec at {static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    // The frame's last byte is handed over when its write begins: a relay on
    // the other core may send it before the write returns.
    const std::int64_t handedOver = NowNs();
    pty.WriteMaster(data.data() + static_cast<size_t>(k) * kChunk, kChunk);
    if ((k + 1) % chunksPerFrame == 0) written[static_cast<size_t>(k / chunksPerFrame)] = handedOver;
  }
  receiverThread.join();
  const std::int64_t cpuAfter = relay.CpuNs();
  bool clean = relay.Stop();

  std::vector<double> latencies;
  for (int f = 0; f < frames; ++f) {
    if (arrived[static_cast<size_t>(f)] == 0) continue;
    latencies.push_back(static_cast<double>(arrived[static_cast<size_t>(f)] - written[static_cast<size_t>(f)]) / 1e3);
  }
  const double mib = static_cast<double>(data.size()) / (1 << 20);
  result.p50Us = Percentile(latencies, 0.50);
  result.p99Us = Percentile(latencies, 0.99);
  result.cpuSecondsPerMib = static_cast<double>(cpuAfter - cpuBefore) / 1e9 / mib;
  result.lost = static_cast<double>(frames - static_cast<int>(latencies.size()));
  result.ok = clean && !damaged;
  std::printf("  %-13s %4d paced: p50 %5.0f us, p99 %5.0f us, %.3f s CPU per MiB, %zu of %d frames%s\n", name,
              frameSize, result.p50Us, result.p99Us, result.cpuSecondsPerMib, latencies.size(), frames,
              damaged ? ", DAMAGED" : "");
  std::fflush(stdout);
  return result;
}

struct Series {
  std::vector<double> rate, floodCpu, floodLost, p50, p99, pacedCpu, pacedLost;
};

struct Kind {
  const char* name;
  bool isBridge;
  bool paced;
  bool receives;
  std::string program;  // bridges only
};

std::unique_ptr<Relay> MakeRelay(const Kind& kind) {
  if (kind.isBridge) return std::make_unique<BridgeRelay>(kind.program);
  if (std::strcmp(kind.name, "bare sendto") == 0) return std::make_unique<BareRelay>();
  if (std::strcmp(kind.name, "bare batched") == 0) return std::make_unique<BareBatchedRelay>();
  return std::make_unique<PlainReader>();
}

void PrintRow(const char* label, const char* format, const std::vector<Kind>& kinds,
              std::map<std::string, Series>& series, std::vector<double> Series::*field) {
  std::printf("  %-24s", label);
  for (const Kind& kind : kinds) {
    const auto& values = series[kind.name].*field;
    if (values.empty()) {
      std::printf(" %13s", "-");
    } else {
      std::printf(format, Median(values));
    }
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  double pacedSeconds = 4;
  int mib = 32;
  std::string baseline;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--paced-seconds") pacedSeconds = std::max(1.0, std::atof(argv[i + 1]));
    if (name == "--mib") mib = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--baseline") baseline = argv[i + 1];
  }

  std::vector<Kind> kinds = {{"bridge", true, true, true, QUILLON_BRIDGE_EXE}};
  if (!baseline.empty()) kinds.push_back({"bridge before", true, true, true, baseline});
  kinds.push_back({"bare batched", false, true, true, ""});
  kinds.push_back({"bare sendto", false, true, true, ""});
  kinds.push_back({"plain reader", false, false, false, ""});

  bool allOk = true;
  std::map<int, std::map<std::string, Series>> results;
  for (int r = 0; r < runs; ++r) {
    std::printf("run %d of %d\n", r + 1, runs);
    // Alternated, so that all see the machine in the same state.
    for (int frameSize : kFrameSizes) {
      const std::vector<std::uint8_t> data = TestBytes(static_cast<std::size_t>(mib) << 20, frameSize);
      for (const Kind& kind : kinds) {
        if (!kind.receives && frameSize != kFrameSizes[0]) continue;  // the reader knows no frames
        std::unique_ptr<Relay> relay = MakeRelay(kind);
        FloodResult flood = RunFlood(kind.name, *relay, data, frameSize, kind.receives);
        Series& series = results[frameSize][kind.name];
        series.rate.push_back(flood.mibPerSecond);
        series.floodCpu.push_back(flood.cpuMsPerMib);
        if (kind.receives) series.floodLost.push_back(flood.lost);
        if (kind.isBridge) allOk = allOk && flood.ok;
      }
      for (const Kind& kind : kinds) {
        if (!kind.paced) continue;
        std::unique_ptr<Relay> relay = MakeRelay(kind);
        PacedResult paced = RunPaced(kind.name, *relay, pacedSeconds, frameSize);
        Series& series = results[frameSize][kind.name];
        series.p50.push_back(paced.p50Us);
        series.p99.push_back(paced.p99Us);
        series.pacedCpu.push_back(paced.cpuSecondsPerMib);
        series.pacedLost.push_back(paced.lost);
        if (kind.isBridge) allOk = allOk && paced.ok;
      }
    }
  }

  std::printf("\nmedians of %d runs (%d MiB flood, %.0f s at 460800 baud); the plain reader reads %d MiB:\n", runs,
              mib, pacedSeconds, mib);
  const double reader = Median(results[kFrameSizes[0]]["plain reader"].rate);
  const double readerCpu = Median(results[kFrameSizes[0]]["plain reader"].floodCpu);
  for (int frameSize : kFrameSizes) {
    auto& series = results[frameSize];
    series["plain reader"].rate = {reader};
    series["plain reader"].floodCpu = {readerCpu};
    std::printf("\n  %d-byte frames          ", frameSize);
    for (const Kind& kind : kinds) std::printf(" %13s", kind.name);
    std::printf("\n");
    PrintRow("flood MiB/s", " %13.1f", kinds, series, &Series::rate);
    PrintRow("flood CPU ms per MiB", " %13.2f", kinds, series, &Series::floodCpu);
    PrintRow("flood datagrams lost", " %13.0f", kinds, series, &Series::floodLost);
    PrintRow("460800 CPU s per MiB", " %13.3f", kinds, series, &Series::pacedCpu);
    PrintRow("frame latency p50 us", " %13.0f", kinds, series, &Series::p50);
    PrintRow("frame latency p99 us", " %13.0f", kinds, series, &Series::p99);
    PrintRow("paced frames lost", " %13.0f", kinds, series, &Series::pacedLost);
    const double bridge = Median(series["bridge"].rate);
    const double bare = Median(series["bare sendto"].rate);
    const double batched = Median(series["bare batched"].rate);
    std::printf("  bridge flood / bare sendto %.2fx, / bare batched %.2fx, / plain reader %.2fx; "
                "CPU per MiB / bare sendto %.2fx\n",
                bridge / bare, bridge / batched, bridge / reader,
                Median(series["bridge"].floodCpu) / Median(series["bare sendto"].floodCpu));
  }
  std::printf("\n  bridge: every datagram that arrived was whole, in order and unchanged: %s\n",
              allOk ? "yes" : "NO");
  return allOk ? 0 : 1;
}
