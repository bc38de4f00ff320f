// CDisplayText: the hand-off of received bytes to the receive pane. The
// serial reader stages each byte's display form in a buffer of its own and
// hands the staged text over once per read block; the pane's timer takes it
// all in one step. What waits for the pane is bounded: at most the last
// RECEIVED_TEXT_LIMIT bytes, whatever the line speed, so the UI thread's
// work per tick does not grow with it.
//
// Threads. Stage, Publish and AddDisplayBytes run on the serial reader thread
// (device lock held); Take, Empty and the rest on the UI thread. The waiting
// text is guarded by m_displayLock, taken once per block by the reader and
// once per tick by the UI (device lock → m_displayLock); nothing under it
// blocks or takes another lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "bridge/received_text.h"
#include "device/serial_port.h"

class CDisplayText {
 public:
  CDisplayText() = default;
  CDisplayText(const CDisplayText&) = delete;
  CDisplayText& operator=(const CDisplayText&) = delete;

  // Takes and empties the waiting text in one step. UI thread.
  std::string Take();
  // Empties the waiting text (a released port's text is dropped). UI thread.
  void Empty();
  // Whether the reader stages display text at all. The windowed program
  // keeps it (default); the headless bridge, which shows nothing, does not.
  void SetKeep(bool keep) { m_bKeepDisplayText.store(keep, std::memory_order_relaxed); }
  bool IsKept() const { return m_bKeepDisplayText.load(std::memory_order_relaxed); }

  // Bytes received since the pane was last emptied; the pane's timer resets
  // the count when it empties the pane. A read may lag by one read block.
  std::uint32_t GetDisplayBytes() const { return m_nDisplayBytes.load(std::memory_order_relaxed); }
  void ResetDisplayBytes() { m_nDisplayBytes.store(0, std::memory_order_relaxed); }

  // Reader thread. The staging buffer holds one read block; a caller that
  // stages more without a Publish gets the text handed over in pieces of
  // this size (Stage publishes a full buffer first, StageWithRoom is for a
  // caller that has checked IsStagingFull).
  bool IsStagingFull() const { return m_nReaderDisplayLength == sizeof m_readerDisplay; }
  void StageWithRoom(std::uint8_t b) { m_readerDisplay[m_nReaderDisplayLength++] = DisplayCharOf(b); }
  void Stage(std::uint8_t b) {
    if (IsStagingFull()) Publish();
    StageWithRoom(b);
  }
  // Reader thread, at a block's end: hands the staged text over (one short
  // lock; nothing when nothing is staged).
  __attribute__((noinline)) void Publish();
  // Reader thread: the bytes of a block count towards the pane's limit.
  // Read-modify-write, so a reset from the UI thread is never overwritten.
  void AddDisplayBytes(std::uint32_t n) { m_nDisplayBytes.fetch_add(n, std::memory_order_relaxed); }

 private:
  std::mutex m_displayLock;
  // Guarded by m_displayLock; holds at most the last RECEIVED_TEXT_LIMIT
  // display bytes (older waiting text is dropped from the display only).
  std::string m_strDisplayText;
  std::atomic<bool> m_bKeepDisplayText{true};
  std::atomic<std::uint32_t> m_nDisplayBytes{0};
  // Reader-private: the display form of the bytes since the last Publish.
  char m_readerDisplay[SERIAL_READ_BLOCK];
  std::size_t m_nReaderDisplayLength = 0;
};
