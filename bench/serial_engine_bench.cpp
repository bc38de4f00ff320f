// Pushes 64 MiB through a pseudo-terminal into the serial reader and prints
// MiB/s (first byte written to last byte counted) and the reader thread's CPU
// milliseconds per MiB, median of several runs, for:
//   discard  a plain reader: poll, read 4096, throw away (the ceiling)
//   engine   CSerialPort with a counting ReceiveCallback, one call per byte
//   device   CDeviceSerial with a counting DataSink, one lock per block
// Usage: bench_serial_engine [runs] [MiB]
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/device_serial.h"
#include "device/serial_port.h"
#include "device/serial_settings.h"
#include "serial_termios.h"

namespace {

double Now(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double ProcessCpu() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Pty {
  int master = -1;
  std::string path;
  bool Open() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
    char name[128];
    if (ptsname_r(master, name, sizeof(name)) != 0) return false;
    path = name;
    return true;
  }
  ~Pty() {
    if (master >= 0) close(master);
  }
};

// What the reader side records: set on the reader thread, read after done.
struct Tally {
  std::size_t total = 0;
  std::size_t count = 0;
  std::uint32_t sum = 0;  // keeps the per-byte work from being optimised away
  double firstCpu = 0;
  double lastCpu = 0;
  double lastWall = 0;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;

  void Byte(unsigned int byte) {
    if (count == 0) firstCpu = Now(CLOCK_THREAD_CPUTIME_ID);
    sum += byte;
    if (++count == total) Finish();
  }
  void Finish() {
    lastCpu = Now(CLOCK_THREAD_CPUTIME_ID);
    lastWall = Now(CLOCK_MONOTONIC);
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    cv.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait(lock, [this] { return done; });
  }
};

int CountByte(unsigned int byte, void* context) {
  static_cast<Tally*>(context)->Byte(byte);
  return 0;
}

struct Result {
  double wakeupsPerMib = 0;  // reader wake-ups (engine and device only)
  double mibPerSecond = 0;
  double readerCpuMsPerMib = 0;
  double processCpuMsPerMib = 0;
};

// Writes total bytes into the master while the reader set up by start
// counts them; start returns false when the reader cannot be set up.
bool RunOnce(std::size_t total, const std::function<bool(const std::string&, Tally&)>& start,
             const std::function<std::uint32_t()>& stop, Result* result) {
  Pty pty;
  if (!pty.Open()) return false;
  Tally tally;
  tally.total = total;
  if (!start(pty.path, tally)) return false;

  const double cpu0 = ProcessCpu();
  const double wall0 = Now(CLOCK_MONOTONIC);
  std::thread writer([&] {
    std::vector<std::uint8_t> chunk(64 * 1024);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i * 31);
    std::size_t left = total;
    while (left > 0) {
      const ssize_t n = write(pty.master, chunk.data(), std::min(left, chunk.size()));
      if (n <= 0) return;
      left -= static_cast<std::size_t>(n);
    }
  });
  tally.Wait();
  writer.join();
  const double cpu1 = ProcessCpu();
  const std::uint32_t wakeups = stop();

  const double mib = static_cast<double>(total) / (1024.0 * 1024.0);
  result->mibPerSecond = mib / (tally.lastWall - wall0);
  result->readerCpuMsPerMib = (tally.lastCpu - tally.firstCpu) * 1000.0 / mib;
  result->processCpuMsPerMib = (cpu1 - cpu0) * 1000.0 / mib;
  result->wakeupsPerMib = wakeups / mib;
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// The plain reader: the same port settings, no engine.
struct DiscardReader {
  int fd = -1;
  std::thread thread;
  bool Start(const std::string& path, Tally& tally) {
    fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    SerialLineSettings settings;
    ParseSerialLineSettings("460800", "无", "8", "1", &settings);
    termios2 t;
    BuildSerialTermios(settings, &t);
    if (ioctl(fd, TCSETS2, &t) != 0) return false;
    thread = std::thread([this, &tally] {
      std::uint8_t buffer[SERIAL_READ_BLOCK];
      pollfd p = {fd, POLLIN, 0};
      while (tally.count < tally.total) {
        if (poll(&p, 1, -1) <= 0) continue;
        const ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n <= 0) continue;
        if (tally.count == 0) tally.firstCpu = Now(CLOCK_THREAD_CPUTIME_ID);
        tally.count += static_cast<std::size_t>(n);
      }
      tally.Finish();
    });
    return true;
  }
  std::uint32_t Stop() {
    if (thread.joinable()) thread.join();
    if (fd >= 0) close(fd);
    fd = -1;
    return 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
  const std::size_t mib = argc > 2 ? static_cast<std::size_t>(std::max(1, atoi(argv[2]))) : 64;
  const std::size_t total = mib * 1024 * 1024;

  struct Mode {
    const char* name;
    std::function<bool(const std::string&, Tally&)> start;
    std::function<std::uint32_t()> stop;
    std::vector<Result> results;
  };
  DiscardReader discard;
  std::unique_ptr<CSerialPort> engine;
  std::unique_ptr<CDeviceSerial> device;
  std::vector<Mode> modes;
  modes.push_back({"discard", [&](const std::string& path, Tally& tally) {
                     return discard.Start(path, tally);
                   },
                   [&] { return discard.Stop(); }, {}});
  modes.push_back({"engine", [&](const std::string& path, Tally& tally) {
                     engine = std::make_unique<CSerialPort>();
                     if (!engine->Open(path, "460800", "无", "8", "1", SERIAL_EVENT_MASK)) return false;
                     engine->SetReceiveCallback(&CountByte, &tally);
                     return true;
                   },
                   [&] {
                     const std::uint32_t wakeups = engine->GetReaderWakeups();
                     engine.reset();
                     return wakeups;
                   },
                   {}});
  modes.push_back({"device", [&](const std::string& path, Tally& tally) {
                     device = std::make_unique<CDeviceSerial>();
                     device->SetDataSink(&CountByte, &tally);
                     return device->Start(SerialStartParameters(path, "460800", "无", "8", "1"), nullptr) == 1;
                   },
                   [&] {
                     const std::uint32_t wakeups = device->GetReaderWakeups();
                     device.reset();
                     return wakeups;
                   },
                   {}});

  std::printf("%zu MiB through a pseudo-terminal, %d runs, modes interleaved\n", mib, runs);
  for (int run = 0; run < runs; ++run) {
    for (Mode& mode : modes) {
      Result result;
      if (!RunOnce(total, mode.start, mode.stop, &result)) {
        std::printf("%s: no pseudo-terminal or the reader could not start\n", mode.name);
        return 1;
      }
      mode.results.push_back(result);
    }
  }
  std::printf("%-8s %10s %22s %23s %16s\n", "mode", "MiB/s", "reader CPU ms/MiB",
              "process CPU ms/MiB", "wake-ups/MiB");
  for (const Mode& mode : modes) {
    std::vector<double> speed, reader, process, wakeups;
    for (const Result& r : mode.results) {
      wakeups.push_back(r.wakeupsPerMib);
      speed.push_back(r.mibPerSecond);
      reader.push_back(r.readerCpuMsPerMib);
      process.push_back(r.processCpuMsPerMib);
    }
    std::printf("%-8s %10.1f %22.2f %23.2f %16.0f\n", mode.name, Median(speed), Median(reader),
                Median(process), Median(wakeups));
  }
  std::printf("targets for engine: >= 100 MiB/s, <= 8 ms reader CPU per MiB (medians)\n");
  return 0;
}
