// CQuillonDoc: the bridge document. It owns the serial device, the command
// console and the UDP sender, and it is the sink of every byte the serial
// port delivers: it counts the byte, builds the text the receive pane shows,
// passes the byte to the open console and, while forwarding is on, collects
// bytes into frames of exactly m_nFrameSize bytes, each sent as one datagram.
//
// Threads. Everything runs on the UI thread except OnSerialByte and
// OnSerialBlockEnd, which run on the serial reader thread while the device
// holds its lock (so after CloseSerial or ClearDataSink no sink call runs).
// The byte path takes no lock per byte: the display text is built in a
// buffer that only the reader touches and is handed over once per read block
// under m_displayLock; byte counts are published once per block. The frames
// that complete within one read block are batched and leave together at the
// block's end (sooner only when the batch is full), in one system call where
// the kernel allows, under m_netLock, which also guards the network settings
// and the socket's re-creation in OpenNetPort.
// Lock order: device lock → m_netLock / m_displayLock / the console's lock.
// The UI thread therefore never calls into the device while it holds one of
// the document's locks, and no lock is held over a message box.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <string>

#include "bridge/command_console.h"
#include "bridge/udp_port.h"
#include "device/device_serial.h"
#include "params/parameters.h"
#include "platform/document.h"

constexpr int FRAME_BUFFER_SIZE = 1024;
// The frame sizes the program offers, in bytes, smallest first.
inline constexpr int FRAME_SIZES[] = {128, 256, 512, 1024};
static_assert(FRAME_SIZES[std::size(FRAME_SIZES) - 1] == FRAME_BUFFER_SIZE, "the largest frame fills the buffer");
// The frames one batch holds at most, and their bytes: a read block of 4096
// bytes completes at most 33 frames of 128 bytes or 5 of 1024.
constexpr int FRAME_BATCH_FRAMES = CUdpSocket::kMaxBatch;
constexpr int FRAME_BATCH_BYTES = 16384;

class CQuillonDoc : public CDocument {
 public:
  // Zeroes every counter, flag and frame setting, links the console to the
  // device and to this document, and creates the configuration folder (a
  // failure is ignored). A document opened from a file never runs
  // OnNewDocument, so it must be usable straight from here.
  CQuillonDoc();
  // Clears the data sink and stops the device before anything else goes, so
  // that no byte reaches a half-destroyed document; then the socket closes.
  ~CQuillonDoc() override;

  // Resets flags, frame settings, counters and the pending display text and
  // re-links the console. Leaves the serial port, the socket and
  // m_nDisplayBytes as they are. 0 only when the base step fails.
  int OnNewDocument() override;

  // Starts the device with "Port", "Baud", "Parity", "DataBit", "StopBit" and
  // installs the byte sink. 1 on success; 0 with no sink installed.
  int OpenSerial(CParameters settings);
  // Stops a running device (joining its reader) and removes the sink; with
  // the idle flush on, the partial frame then leaves as it would when idle.
  void CloseSerial();
  // Writes text to the device (the console appends CR LF itself). Blocks
  // while the port takes the bytes. Nothing when device is null.
  void SendToDevice(CDeviceBase* device, const std::string& text);

  // The data sink and the block-end hook installed on the device; context is
  // the document. Reader thread, device lock held.
  static int SerialByteCallback(unsigned int byte, void* context);
  static void SerialBlockEnd(void* context);
  static void SerialIdle(void* context);
  // One received byte (low 8 bits). Reader thread; a direct caller must call
  // OnSerialBlockEnd after its last byte to send its frames and publish
  // counts and texts.
  void OnSerialByte(unsigned int byte);
  // Sends the frames completed since the last call (see SendBatch) and
  // publishes what the bytes produced: byte counts, the display text and the
  // console's text. Reader thread (or any thread once the reader has been
  // joined).
  void OnSerialBlockEnd();
  // The idle flush: sends what the batch holds, then, while forwarding is
  // on, the partial frame as one shorter datagram (counted as a frame, under
  // m_netLock), and starts the next frame empty. Also run when the port hangs
  // up and when CloseSerial stops it, so that the tail is never held back. Nothing when no byte waits
  // or the fill is not below the frame size. Reader thread, device lock held,
  // once the port has been quiet for the idle time-out.
  void OnSerialIdle();
  // Turns the idle flush on for ms milliseconds of quiet (IDLE_FLUSH_MIN_MS to IDLE_FLUSH_MAX_MS) or off
  // (0, the default: only whole frames leave). Takes effect at the next
  // OpenSerial. UI thread.
  void SetIdleFlush(int ms);

  // Re-creates udp's socket and binds it to m_nLocalPort on bindAddress (all
  // interfaces when null), under m_netLock. On failure shows "网络端口绑定失败，
  // 请更换端口号！" (after releasing the lock) and returns 0. UI thread.
  int OpenNetPort(CUdpPort& udp, const char* bindAddress = nullptr);
  // Binds udp to m_nLocalPort on bindAddress. UI thread; it touches nothing a
  // send reads, so it needs no lock of its own (OpenNetPort holds m_netLock
  // over Create + Bind so that no frame leaves from an unbound socket).
  // 1 on success.
  int BindNetPort(CUdpPort& udp, const char* bindAddress = nullptr);
  // Closes the network port: forwarding stops and the socket is closed under
  // m_netLock, so the local port is free when it returns and no frame leaves
  // afterwards (frames completed meanwhile are counted as not sent). UI thread.
  void CloseNetPort();
  // Whether the sender holds a socket. Any thread.
  bool IsNetPortOpen() const;
  // Sends the first m_nFrameSize bytes of m_frame to m_strTargetIp:
  // m_nTargetPort through udp in one datagram, under m_netLock. 1 when the
  // whole frame left; 0 when the send failed or the size is not 1..1024.
  // m_frame belongs to the reader: call it on the reader thread, or while no
  // serial port is open.
  int SendFrame(CUdpPort& udp);

  // The form view writes the network settings through this, under m_netLock,
  // so a frame never goes out with half-written settings. A frame size outside
  // 1..1024 never completes a frame (bytes are discarded every 1024).
  void SetNetworkSettings(std::uint16_t localPort, const std::string& targetIp,
                          std::uint16_t targetPort, int frameSize);
  std::string GetTargetIp() const;
  std::uint16_t GetTargetPort() const;

  // Takes and empties the pending display text in one step: at most the last
  // RECEIVED_TEXT_LIMIT display bytes. UI thread.
  std::string TakeDisplayText();
  // Empties the pending display text (a released port's text is dropped).
  void EmptyDisplayText();
  // Whether the byte sink builds display text at all. The windowed program
  // keeps it (default); the headless bridge, which shows nothing, turns it off.
  void SetKeepDisplayText(bool keep);

  // Values the UI reads on its timers; a read may lag by one read block.
  // 64 bits: at 460800 baud a 32-bit count wraps within a day and a half.
  std::uint64_t GetBytesReceived() const { return m_nBytesReceived.load(std::memory_order_relaxed); }
  // Frames that left; frames whose send failed are counted apart.
  std::uint64_t GetFramesSent() const { return m_nFramesSent.load(std::memory_order_relaxed); }
  std::uint64_t GetFramesFailed() const { return m_nFramesFailed.load(std::memory_order_relaxed); }
  // Why sends are failing now (GBK, one short phrase such as "没有到目标的路由"),
  // empty while they work. Any thread.
  std::string GetSendErrorCause() const;
  // The system's error number behind GetSendErrorCause; 0 while sends work.
  int GetSendError() const { return m_nSendError.load(std::memory_order_relaxed); }
  // Called on the reader thread (device lock held, no document lock) when
  // sends start to fail, fail for another cause, or work again; it must not
  // block. Null removes it. Set it before the port opens or while it is closed.
  using SendStateListener = void (*)(int error, void* context);
  void SetSendStateListener(SendStateListener fn, void* context);
  std::uint32_t GetDisplayBytes() const { return m_nDisplayBytes.load(std::memory_order_relaxed); }
  void ResetDisplayBytes() { m_nDisplayBytes.store(0, std::memory_order_relaxed); }
  int GetFrameFill() const { return m_nFrameFill.load(std::memory_order_relaxed); }
  int GetFrameSize() const { return m_nFrameSize.load(std::memory_order_relaxed); }

  // --- State, in the order the members are constructed. ---
  std::string m_strExeDir;
  std::string m_strConfigDir;
  // Flags the UI writes and the reader reads per byte; a stale read only
  // delays the switch by a byte or two.
  std::atomic<std::uint8_t> m_bCommandOpen{0};
  std::atomic<std::uint8_t> m_bForwarding{0};
  CDeviceSerial m_device;
  // The command console: its history, its received-text hand-off and its
  // links live here; the main form shows its window (CCommandDlg) on it.
  CCommandConsole m_commandDialog;
  CUdpPort m_udp;
  // Network settings: written by the UI under m_netLock (SetNetworkSettings),
  // read under it by SendFrame. m_nLocalPort is read by BindNetPort only.
  std::uint16_t m_nLocalPort = 0;
  std::uint16_t m_nTargetPort = 0;
  std::string m_strTargetIp;
  // Read per byte by the reader without the lock and again under it before a
  // frame is sent, so a frame always goes out with the size it was built for.
  std::atomic<std::int32_t> m_nFrameSize{0};
  // Written by the reader per byte; the UI's reset goes through
  // m_bFrameResetRequested so that it cannot be lost to a concurrent byte.
  std::atomic<std::int32_t> m_nFrameFill{0};
  std::uint8_t m_frame[FRAME_BUFFER_SIZE] = {};  // reader thread only
  // Guarded by m_displayLock; holds at most the last RECEIVED_TEXT_LIMIT
  // display bytes (older waiting text is dropped from the display only).
  std::string m_strDisplayText;
  std::atomic<std::uint64_t> m_nFramesSent{0};
  std::atomic<std::uint64_t> m_nFramesFailed{0};
  std::atomic<std::uint64_t> m_nBytesReceived{0};
  std::atomic<std::uint32_t> m_nDisplayBytes{0};

 private:
  // Reader thread: the byte sink's slower path and its frame steps.
  __attribute__((noinline)) void OnSerialByteWithCalls(unsigned int byte);
  void FrameByte(std::uint8_t b);
  // Moves the completed frame of fill bytes into the batch.
  __attribute__((noinline)) void CompleteFrame(std::int32_t fill);
  // Sends the batched frames, one datagram each, in order, under m_netLock,
  // at the size they completed with (a size changed since then applies to
  // the frames after them); counts those that left and those that did not.
  void SendBatch();
  // Counts the outcome of one send of frames and notes a change of cause.
  void CountSent(int frames, int sent, int error);
  __attribute__((noinline)) void DiscardFrame();
  __attribute__((noinline)) void PublishDisplayText();
  int SendFrameLocked(CUdpPort& udp);

  mutable std::mutex m_netLock;
  std::mutex m_displayLock;
  std::atomic<bool> m_bKeepDisplayText{true};
  std::atomic<bool> m_bFrameResetRequested{false};
  std::atomic<std::int32_t> m_nSendError{0};
  std::atomic<SendStateListener> m_pfnSendState{nullptr};
  std::atomic<void*> m_pSendStateContext{nullptr};
  int m_nIdleFlushMs = 0;  // UI thread
  // Reader-private: what the bytes since the last publish produced. The
  // staging buffer holds one read block; a caller that delivers more bytes
  // without a block end gets them published in pieces of this size.
  char m_readerDisplay[SERIAL_READ_BLOCK];
  std::size_t m_nReaderDisplayLength = 0;
  std::uint32_t m_nReaderBytes = 0;
  // Reader-private: the frames completed in this block, all of
  // m_nBatchFrameSize bytes, back to back.
  std::uint8_t m_batch[FRAME_BATCH_BYTES];
  std::int32_t m_nBatchFrames = 0;
  std::int32_t m_nBatchFrameSize = 0;
};
