// CQuillonDoc: the bridge document. It owns the serial device, the command
// console and the network side, and it is the sink of every byte the serial
// port delivers: it counts the byte, stages the text the receive pane shows,
// passes the byte to the open console and, while forwarding is on, collects
// bytes into frames of exactly the frame size, each sent as one datagram.
// The view and the headless bridge reach its state only through the verbs
// below; its parts each keep one concern:
//   CFrameBatcher (frame_batcher.h)  bytes into frames, the block-end batch,
//                                    the idle flush's partial frame;
//   CDisplayText  (display_text.h)   the receive pane's bounded hand-off;
//   CNetPort      (net_port.h)       the socket's lifecycle, the network
//                                    settings, sends and failed counts.
//
// Threads. Everything runs on the UI thread except OnSerialByte,
// OnSerialBlockEnd and OnSerialIdle, which run on the serial reader thread
// while the device holds its lock (so after CloseSerial or ClearDataSink no
// sink call runs). The byte path takes no lock per byte: the display text is
// staged in a buffer that only the reader touches and is handed over once
// per read block under m_displayLock; byte counts are published once per
// block. The frames that complete within one read block are batched and
// leave together at the block's end (sooner only when the batch is full), in
// one system call where the kernel allows, under m_netLock, which also guards
// the network settings and the socket's re-creation in OpenNetPort.
// Lock order: device lock → m_netLock / m_displayLock / the console's lock.
// The UI thread therefore never calls into the device while it holds one of
// the document's locks, and no lock is held over a message box.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "bridge/command_console.h"
#include "bridge/display_text.h"
#include "bridge/frame_batcher.h"
#include "bridge/net_port.h"
#include "bridge/udp_port.h"
#include "device/device_serial.h"
#include "params/parameters.h"
#include "platform/document.h"

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
  // re-links the console. Leaves the serial port, the socket and the display
  // byte count as they are. 0 only when the base step fails.
  int OnNewDocument() override;

  // The configuration folder, as the constructor found it. Any thread.
  const std::string& GetConfigDir() const { return m_strConfigDir; }

  // --- The serial port (UI thread) ---

  // Starts the device with "Port", "Baud", "Parity", "DataBit", "StopBit" and
  // installs the byte sink. 1 on success; 0 with no sink installed.
  int OpenSerial(CParameters settings);
  // Stops a running device (joining its reader) and removes the sink; with
  // the idle flush on, the partial frame then leaves as it would when idle.
  void CloseSerial();
  // Stops the device if it runs, keeping the sink: OpenSerial is never asked
  // of a running device, so the form view stops it first. Joins the reader.
  void StopDevice();
  // Writes text to the device (the console appends CR LF itself). Blocks
  // while the port takes the bytes. Nothing when device is null.
  void SendToDevice(CDeviceBase* device, const std::string& text);
  // The device's facts, as CDeviceSerial answers them: whether it runs,
  // whether (and why) its port is lost, what its driver dropped, why the
  // last open failed, the five settings it holds. They take no document
  // lock; the settings and the open error take the device lock briefly.
  bool IsSerialOpen();
  bool IsPortLost();
  int GetPortLostState();
  int GetDriverErrorCounts(SerialErrorCounts* counts);
  SerialOpenError GetOpenError();
  std::string GetOpenErrorCause();
  CParameters GetSerialSettings();
  // Hears of the port's loss and return on the reader thread (see
  // CDeviceSerial::SetPortStateListener).
  void SetPortStateListener(PortStateCallback fn, void* context);
  // The device itself, for its identity (the console's link); its state is
  // reached through the verbs above.
  const CDeviceSerial& GetDevice() const { return m_device; }

  // --- The byte sink (reader thread) ---

  // The data sink and the block-end hook installed on the device; context is
  // the document. Reader thread, device lock held.
  static int SerialByteCallback(unsigned int byte, void* context);
  static void SerialBlockEnd(void* context);
  static void SerialIdle(void* context);
  // One received byte (low 8 bits). Reader thread; a direct caller must call
  // OnSerialBlockEnd after its last byte to send its frames and publish
  // counts and texts.
  void OnSerialByte(unsigned int byte);
  // Sends the frames completed since the last call (see
  // CFrameBatcher::SendBatch) and publishes what the bytes produced: byte
  // counts, the display text and the console's text. Reader thread (or any
  // thread once the reader has been joined).
  void OnSerialBlockEnd();
  // The idle flush: sends what the batch holds, then, while forwarding is
  // on, the partial frame as one shorter datagram (counted as a frame, under
  // m_netLock), and starts the next frame empty. Also run when the port hangs
  // up and when CloseSerial stops it, so that the tail is never held back.
  // Nothing when no byte waits or the fill is not below the frame size.
  // Reader thread, device lock held, once the port has been quiet for the
  // idle time-out.
  void OnSerialIdle();
  // Turns the idle flush on for ms milliseconds of quiet (IDLE_FLUSH_MIN_MS
  // to IDLE_FLUSH_MAX_MS) or off (0, the default: only whole frames leave).
  // Takes effect at the next OpenSerial. UI thread.
  void SetIdleFlush(int ms);

  // --- Forwarding and the console (UI thread; the reader reads the flags
  // per byte, and a stale read only delays the switch by a byte or two) ---

  void StartForwarding();
  void StopForwarding();
  bool IsForwarding() const { return m_bForwarding.load(std::memory_order_relaxed) != 0; }
  // Whether the console's window is up and takes the received bytes: set by
  // the form view just before it shows the window, cleared by the console.
  void SetCommandOpen(bool open);
  bool IsCommandOpen() const { return m_bCommandOpen.load(std::memory_order_relaxed) == 1; }
  // The console the form view shows its window on.
  CCommandConsole& GetCommandConsole() { return m_commandDialog; }

  // --- The network port (UI thread unless said otherwise) ---

  // Re-creates udp's socket and binds it to the local port on bindAddress
  // (all interfaces when null), under m_netLock. On failure shows "网络端口绑定
  // 失败，请更换端口号！" with the cause (after releasing the lock) and returns 0.
  int OpenNetPort(CUdpPort& udp, const char* bindAddress = nullptr);
  // The same with the document's own sender.
  int OpenNetPort(const char* bindAddress = nullptr);
  // Binds udp to the local port on bindAddress. It touches nothing a send
  // reads, so it needs no lock of its own (OpenNetPort holds m_netLock over
  // Create + Bind so that no frame leaves from an unbound socket). 1 on
  // success.
  int BindNetPort(CUdpPort& udp, const char* bindAddress = nullptr);
  // Closes the network port: forwarding stops and the socket is closed under
  // m_netLock, so the local port is free when it returns and no frame leaves
  // afterwards (frames completed meanwhile are counted as not sent).
  void CloseNetPort();
  // Whether the sender holds a socket. Any thread.
  bool IsNetPortOpen() const;
  // The document's own sender, for its facts: the bind failure and its
  // words, the local port bound.
  const CUdpPort& GetUdpPort() const { return m_netPort.GetUdp(); }
  // Sends the first frame-size bytes of the frame under construction to the
  // target through udp (or the document's own sender) in one datagram, under
  // m_netLock. 1 when the whole frame left; 0 when the send failed or the
  // size is not 1..1024. The frame belongs to the reader: call it on the
  // reader thread, or while no serial port is open.
  int SendFrame(CUdpPort& udp);
  int SendFrame();

  // The form view writes the network settings through this, under m_netLock,
  // so a frame never goes out with half-written settings. A frame size outside
  // 1..1024 never completes a frame (bytes are discarded every 1024).
  void SetNetworkSettings(std::uint16_t localPort, const std::string& targetIp,
                          std::uint16_t targetPort, int frameSize);
  std::uint16_t GetLocalPort() const { return m_netPort.GetLocalPort(); }
  std::string GetTargetIp() const { return m_netPort.GetTargetIp(); }
  std::uint16_t GetTargetPort() const { return m_netPort.GetTargetPort(); }

  // --- The receive pane (UI thread) ---

  // Takes and empties the pending display text in one step: at most the last
  // RECEIVED_TEXT_LIMIT display bytes.
  std::string TakeDisplayText() { return m_displayText.Take(); }
  // Empties the pending display text (a released port's text is dropped).
  void EmptyDisplayText() { m_displayText.Empty(); }
  // Whether the byte sink builds display text at all. The windowed program
  // keeps it (default); the headless bridge, which shows nothing, turns it off.
  void SetKeepDisplayText(bool keep) { m_displayText.SetKeep(keep); }
  std::uint32_t GetDisplayBytes() const { return m_displayText.GetDisplayBytes(); }
  void ResetDisplayBytes() { m_displayText.ResetDisplayBytes(); }

  // --- Values the UI reads on its timers; a read may lag by one read block
  // (any thread) ---

  // 64 bits: at 460800 baud a 32-bit count wraps within a day and a half.
  std::uint64_t GetBytesReceived() const { return m_nBytesReceived.load(std::memory_order_relaxed); }
  // Frames that left; frames whose send failed are counted apart.
  std::uint64_t GetFramesSent() const { return m_netPort.GetFramesSent(); }
  std::uint64_t GetFramesFailed() const { return m_netPort.GetFramesFailed(); }
  // Why sends are failing now (GBK, one short phrase such as "没有到目标的路由"),
  // empty while they work.
  std::string GetSendErrorCause() const;
  // The system's error number behind GetSendErrorCause; 0 while sends work.
  int GetSendError() const { return m_netPort.GetSendError(); }
  // Called on the reader thread (device lock held, no document lock) when
  // sends start to fail, fail for another cause, or work again; it must not
  // block. Null removes it. Set it before the port opens or while it is closed.
  using SendStateListener = CNetPort::SendStateListener;
  void SetSendStateListener(SendStateListener fn, void* context) { m_netPort.SetSendStateListener(fn, context); }
  int GetFrameFill() const { return m_frameBatcher.GetFrameFill(); }
  int GetFrameSize() const { return m_netPort.GetFrameSize(); }

  // Test hook: the received count as if that many bytes had come (the widest
  // value the statistics show). UI thread, no port open.
  void SetBytesReceived(std::uint64_t count) { m_nBytesReceived.store(count, std::memory_order_relaxed); }

 private:
  // Reader thread: the byte sink's slower path.
  __attribute__((noinline)) void OnSerialByteWithCalls(unsigned int byte);

  // --- State, in the order the members are constructed. ---
  std::string m_strExeDir;
  std::string m_strConfigDir;
  // 0/1 flags the UI writes and the reader reads per byte.
  std::atomic<std::uint8_t> m_bCommandOpen{0};
  std::atomic<std::uint8_t> m_bForwarding{0};
  CDeviceSerial m_device;
  // The command console: its history, its received-text hand-off and its
  // links live here; the main form shows its window (CCommandDlg) on it.
  CCommandConsole m_commandDialog;
  // The sender m_udp, the network settings, m_netLock and the frame counts.
  CNetPort m_netPort;
  // The frame under construction (m_frame, m_nFrameFill) and the batch.
  CFrameBatcher m_frameBatcher;
  // m_strDisplayText under m_displayLock, m_nDisplayBytes, the reader's staging.
  CDisplayText m_displayText;
  std::atomic<std::uint64_t> m_nBytesReceived{0};
  // Reader-private: the bytes since the last block end.
  std::uint32_t m_nReaderBytes = 0;
  int m_nIdleFlushMs = 0;  // UI thread
};
