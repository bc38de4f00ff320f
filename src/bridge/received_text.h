// The hand-off of received bytes from the serial reader to the console's
// transcript. The reader formats each byte into a buffer of its own and hands
// the collected text over once per read block (Publish), under one lock; the
// console's display timer takes it all under the same lock. So the reader
// takes the lock once per block, not once per byte, and never touches a
// widget.
//
// Bytes are taken only while the transcript is open (Open … Close, an atomic
// epoch that the UI thread sets): bytes that come before the window exists or
// after it is gone are neither shown nor counted. Text staged during one
// opening never reaches the transcript of a later one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "device/serial_port.h"

// The rules that the receive pane and the console's transcript share.
//
// What a received byte looks like on screen: 0x20..0x7F (0x7F included) as
// itself, every other byte as a full stop.
inline char DisplayCharOf(std::uint8_t b) { return (b >= 0x20 && b <= 0x7F) ? static_cast<char>(b) : '.'; }

// A pane is emptied at the first tick after more than this many bytes have
// been received since it was last emptied; it therefore never shows more text
// than this, and the text waiting for it is kept to the same size.
constexpr std::uint32_t RECEIVED_TEXT_LIMIT = 30000;
inline bool PastReceivedTextLimit(std::uint32_t nCounted) { return nCounted > RECEIVED_TEXT_LIMIT; }

// Appends n bytes to text that waits for a pane, keeping only its last
// RECEIVED_TEXT_LIMIT bytes: whatever arrives faster than the pane shows it,
// the oldest waiting text is what gets dropped (from the display only).
void AppendWaitingText(std::string& waiting, const char* data, std::size_t n);

class CReceivedText {
 public:
  // The transcript is emptied at the first tick after more than this many
  // bytes have been received since it was last emptied.
  static constexpr std::uint32_t CLEAR_AFTER_BYTES = RECEIVED_TEXT_LIMIT;
  // Staged text is handed over at the latest when it reaches the size of one
  // read block, so a caller that never publishes still gets the text shown in
  // pieces.
  static constexpr std::size_t PUBLISH_AT = SERIAL_READ_BLOCK;

  CReceivedText();
  CReceivedText(const CReceivedText&) = delete;
  CReceivedText& operator=(const CReceivedText&) = delete;

  // UI thread. The transcript window came up: empties the pending text and
  // starts taking bytes. The byte count carries on from the last opening.
  void Open();
  // UI thread. The window is going: no byte is taken from now on.
  void Close();
  // Any thread.
  bool IsOpen() const { return m_nOpenEpoch.load(std::memory_order_acquire) != 0; }

  // Reader thread (one at a time). One received byte (low 8 bits): counted,
  // shown as itself for 0x20..0x7F and as a full stop otherwise, and a dollar
  // sign starts a new line ("\r\n$"). Takes no lock unless the staged text
  // reaches PUBLISH_AT. Does nothing while the transcript is closed.
  void Append(unsigned int byte) {
    const std::uint32_t epoch = m_nOpenEpoch.load(std::memory_order_acquire);
    if (epoch == 0) return;
    if (epoch != m_nStagedEpoch) StartEpoch(epoch);
    ++m_nStagedBytes;
    const char c = DisplayCharOf(static_cast<std::uint8_t>(byte & 0xFF));
    if (c == '$') {
      m_staged[m_nStagedLength++] = '\r';
      m_staged[m_nStagedLength++] = '\n';
    }
    m_staged[m_nStagedLength++] = c;
    if (m_nStagedLength >= PUBLISH_AT) Publish();
  }
  // Reader thread, after the last byte of a block (or any thread once the
  // reader has stopped): hands the staged text and count over. Takes the lock
  // briefly; cheap when nothing is staged.
  void Publish();

  struct Tick {
    bool bClear = false;  // empty the transcript first
    std::string text;     // then append this at its end
  };
  // UI thread, once per display tick: whether the transcript is to be
  // emptied (more than CLEAR_AFTER_BYTES since it last was; the count starts
  // again at 0), and the pending text (at most its last RECEIVED_TEXT_LIMIT
  // bytes), which is emptied.
  Tick TakeTick();

  // Bytes counted since the transcript was last emptied. Any thread.
  std::uint32_t GetShownBytes() const;

 private:
  // 0 while closed, else the number of the current opening.
  std::atomic<std::uint32_t> m_nOpenEpoch{0};
  std::uint32_t m_nLastEpoch = 0;  // UI thread

  mutable std::mutex m_lock;
  std::string m_strPending;         // guarded by m_lock; at most RECEIVED_TEXT_LIMIT bytes
  std::uint32_t m_nShownBytes = 0;  // guarded by m_lock

  // Reader thread: what an earlier opening staged is counted, not shown.
  void StartEpoch(std::uint32_t epoch);

  // Reader-private: what the bytes since the last Publish produced. A byte
  // adds at most three characters, so PUBLISH_AT + 2 always has room.
  char m_staged[PUBLISH_AT + 2];
  std::size_t m_nStagedLength = 0;
  std::uint32_t m_nStagedBytes = 0;
  std::uint32_t m_nStagedEpoch = 0;
};
