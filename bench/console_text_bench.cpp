// The console's received-text hand-off, as the serial reader drives it while
// the console is open: every byte formatted by Append, the block handed over
// by Publish after each 4096 bytes (one read of the reader), the display
// timer's take every 256 KiB so the pending text does not grow without end.
// PerByteLock is the same work with a mutex taken for every byte, for
// comparison. Bytes are NMEA-like text with a dollar sign every 80 bytes.
//
// Every case runs 5 repetitions; the median lines are the figures to read.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/received_text.h"

namespace {

constexpr std::size_t kBlock = SERIAL_READ_BLOCK;
constexpr std::size_t kBlocksPerTake = 64;

std::vector<std::uint8_t> Block() {
  std::vector<std::uint8_t> block(kBlock);
  for (std::size_t i = 0; i < kBlock; ++i) block[i] = (i % 80 == 0) ? '$' : static_cast<std::uint8_t>('A' + i % 26);
  return block;
}

void HandOff(benchmark::State& state) {
  const std::vector<std::uint8_t> block = Block();
  CReceivedText text;
  text.Open();
  std::size_t blocks = 0;
  for (auto _ : state) {
    for (std::uint8_t b : block) text.Append(b);
    text.Publish();
    if (++blocks % kBlocksPerTake == 0) benchmark::DoNotOptimize(text.TakeTick());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}
BENCHMARK(HandOff)->Repetitions(5)->ReportAggregatesOnly(true);

void PerByteLock(benchmark::State& state) {
  const std::vector<std::uint8_t> block = Block();
  std::mutex lock;
  std::string pending;
  std::uint32_t shown = 0;
  std::size_t blocks = 0;
  for (auto _ : state) {
    for (std::uint8_t b : block) {
      const char c = (b < 0x20 || b > 0x7F) ? '.' : static_cast<char>(b);
      std::lock_guard<std::mutex> guard(lock);
      ++shown;
      if (c == '$') {
        pending += "\r\n$";
      } else {
        pending += c;
      }
    }
    if (++blocks % kBlocksPerTake == 0) {
      std::lock_guard<std::mutex> guard(lock);
      std::string taken;
      taken.swap(pending);
      benchmark::DoNotOptimize(taken);
    }
  }
  benchmark::DoNotOptimize(shown);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}
BENCHMARK(PerByteLock)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
