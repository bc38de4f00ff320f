// Keeps what a serial reader delivers, in order, through the engine's or the
// device's callbacks (per byte, per block, block ends), for tests that then
// compare it or wait for it. Any thread may read it under mutex; count may
// be read without.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "support/wait.h"

struct ByteCollector {
  std::mutex mutex;
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> blockEnds;  // bytes.size() at each block end
  std::atomic<std::size_t> count{0};   // bytes.size(), readable without the lock

  static int OnByte(unsigned int byte, void* context) {
    auto* self = static_cast<ByteCollector*>(context);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->bytes.push_back(static_cast<std::uint8_t>(byte));
    self->count.store(self->bytes.size());
    return 0;
  }
  static void OnBlock(const std::uint8_t* data, std::size_t length, void* context) {
    auto* self = static_cast<ByteCollector*>(context);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->bytes.insert(self->bytes.end(), data, data + length);
    self->count.store(self->bytes.size());
  }
  static void OnBlockEnd(void* context) {
    auto* self = static_cast<ByteCollector*>(context);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->blockEnds.push_back(self->bytes.size());
  }

  // Waits (generously) until n bytes came; false if they never did.
  bool WaitFor(std::size_t n) {
    return WaitUntil([&] { return count.load() >= n; });
  }
};
