// CSerialPort: the serial port engine. Opens one port exclusively, applies
// the line settings given as texts, runs one reader thread that hands every
// received byte, in arrival order, to a registered callback, writes byte
// blocks, and drives and reads the modem lines.
//
// Threads: Open, Close and the destructor run on one controlling thread (the
// UI thread), never on the reader thread. Write and the line operations may
// run on any thread. The reader thread runs the virtual On... hooks and
// through them the callbacks; it holds none of the engine's locks meanwhile,
// so a callback may call Write or the line operations.
//
// Hang-up: when the port hangs up or fails to read (an adapter pulled out, the
// other side of a pseudo-terminal closed) the reader runs the idle hook (the
// tail of the data leaves now, not after the outage), closes the port,
// watches for the device (on Linux its folder, with inotify), reports the
// port lost and reopens the same path with the same settings as soon as it
// can: at most once a second (every 5 seconds without an event, for a port
// that another program let go of; on Windows the name is tried once a
// second), delivering into the same callbacks afterwards. Only the same
// device is taken back (see ReopenRuleFor in port_list.h): a
// pseudo-terminal never, an adapter by its kernel name only when sysfs shows
// the same adapter (Windows keeps a COM name for its adapter: followed). It
// sleeps in between; Close ends the wait at once.
//
// Blocking: Open waits until its reader thread runs. Close wakes the reader
// and joins it, so it returns as soon as a callback that is running returns:
// a callback must never wait for anything the closing thread holds. Write
// blocks until the driver has taken every byte, the port hangs up, Close is
// called, or the port takes nothing for 2 seconds.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sys_error.h"
#include "device/lock.h"
#include "device/serial_errors.h"
#include "device/serial_open_error.h"
#include "device/serial_settings.h"

// Carries one received byte in the low 8 bits; the result is ignored.
using ReceiveCallback = int (*)(unsigned int byte, void* context);
// The most the reader takes from the port in one read: one block.
constexpr std::size_t SERIAL_READ_BLOCK = 4096;
// Carries one block as read from the port (1 to SERIAL_READ_BLOCK bytes, in
// order).
using ReceiveBlockCallback = void (*)(const std::uint8_t* data, std::size_t length,
                                      void* context);
// Carries the receive context once the port has been quiet for the idle
// time-out (see SetIdleCallback).
using IdleCallback = void (*)(void* context);

// Reader thread, once when the port is lost (lost non-zero: one of the
// SERIAL_PORT_ values below) and once when it is open again (lost 0).
using PortStateCallback = void (*)(int lost, void* context);
constexpr int SERIAL_PORT_BACK = 0;
// Lost; the engine waits for it to come back.
constexpr int SERIAL_PORT_LOST = 1;
// Lost for good: a pseudo-terminal's name is never reopened (the next one
// with that number belongs to another program).
constexpr int SERIAL_PORT_GONE = 2;
// Still lost: a different adapter appeared at the kernel's name of the lost
// one and is left alone. Reported once per appearance.
constexpr int SERIAL_PORT_OTHER_DEVICE = 3;

// Event mask bits of Open. EV_RXCHAR makes the reader read; the line bits
// choose which of OnCTS, OnDSR, OnRING and OnRLSD run after each wake-up.
// The kernel does not wake a waiter when a modem line changes, so the hooks
// see the lines as they are whenever data or a hang-up wakes the reader.
constexpr std::uint32_t EV_RXCHAR = 0x0001;
constexpr std::uint32_t EV_RXFLAG = 0x0002;
constexpr std::uint32_t EV_CTS = 0x0008;
constexpr std::uint32_t EV_DSR = 0x0010;
constexpr std::uint32_t EV_RLSD = 0x0020;
constexpr std::uint32_t EV_RING = 0x0100;

class CSerialPort {
 public:
  CSerialPort();
  // Closes the port.
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Reader thread, once per received byte. Default: the receive callback,
  // when one is set.
  virtual void OnReceiveByte(unsigned int byte);
  // Reader thread, with the line state (1 on, 0 off), for the lines the event
  // mask names. Defaults: nothing.
  virtual void OnCTS(int state);
  virtual void OnDSR(int state);
  virtual void OnRING(int state);
  virtual void OnRLSD(int state);
  // Reader thread, once per block read. Default: the block callback when one
  // is set, otherwise OnReceiveByte for each byte in order. A derived engine
  // that overrides OnReceiveByte must not set a block callback.
  virtual void OnReceiveBlock(const std::uint8_t* data, std::size_t length);
  // Reader thread, once per quiet spell: when no byte has followed a block
  // for the idle time-out. Default: the idle callback, when one is set.
  virtual void OnReceiveIdle();

  // Opens the device of port (see port_path.h), configures it and starts the
  // reader. true when the reader runs; false with the port closed when the
  // port cannot be opened, another opener holds it, a setting cannot be
  // applied (see serial_settings.h) or the reader cannot be started
  // (GetOpenError says which). On an open engine: true at once, the settings
  // are not applied again.
  bool Open(std::string port, std::string baud, std::string parity, std::string dataBits,
            std::string stopBits, std::uint32_t eventMask);
  // Stops and joins the reader, then closes the port. Nothing on a closed
  // engine. The engine can be opened again afterwards.
  void Close();
  // From the moment the reader runs until Close has finished, also after the
  // port hung up.
  bool IsOpen() const;
  // From a hang-up until the port is open again (or Close). Any thread.
  bool IsLost() const;
  // 0 while not lost, else SERIAL_PORT_LOST, SERIAL_PORT_GONE or
  // SERIAL_PORT_OTHER_DEVICE as last reported. Any thread.
  int GetLostState() const;
  // Why the last Open failed. Controlling thread.
  SerialOpenError GetOpenError() const;
  // Any thread; called on the reader thread without the engine's locks.
  void SetPortStateCallback(PortStateCallback fn, void* context);

  // Any thread. Stores the context, then the functions, so that a reader that
  // sees a function also sees its context. blockFn may be null.
  void SetReceiveCallback(ReceiveCallback fn, void* context,
                          ReceiveBlockCallback blockFn = nullptr);

  // Success when every byte was taken by the driver (also for 0 bytes);
  // otherwise a failure at SysStep::kWrite: EBADF on a closed engine, EINVAL
  // for a negative length (or bytes without data), EIO while the port is lost
  // or after a hang-up, ECANCELED when Close came, ETIMEDOUT after 2 seconds
  // without progress, or the driver's own error number. One writer at a time.
  SysError Write(const void* data, int length);
  SysError Write(const std::vector<std::uint8_t>& bytes);

  // false on a closed engine. Otherwise raise the line when state is exactly
  // 1, lower it for any other value, and return true whether or not the
  // driver could (a pseudo-terminal has no modem lines).
  bool SetRTS(int state);
  bool SetDTR(int state);
  // true and *state set to 1 or 0 when the line state could be read; false
  // with *state untouched on a closed engine or when the driver has no modem
  // lines.
  bool GetCTS(int* state);
  bool GetDSR(int* state);
  bool GetRLSD(int* state);
  bool GetRING(int* state);

  // Any thread. With fn set and idleMs 1 to 10000, the reader waits at most
  // idleMs for the byte after a block and then runs OnReceiveIdle, once,
  // before it waits without a time-out again; a null fn or idleMs 0 removes
  // the time-out. Uses the context of SetReceiveCallback.
  void SetIdleCallback(IdleCallback fn, int idleMs);

  // Any thread. true with *counts set to what the driver counted since Open
  // (over every reopen after a hang-up) when it keeps error counters (a
  // UART, a USB adapter); false when it keeps none (a pseudo-terminal) or the
  // engine was never open. Asks the driver: a few times a second at most,
  // never per byte. Takes the handle lock briefly.
  bool GetErrorCounts(SerialErrorCounts* counts);

  // Test hook: how often the reader has returned from its wait.
  std::uint32_t GetReaderWakeups() const;

 private:
  // The engine's shape. This header and serial_port.cpp are shared by every
  // platform; CMake compiles one engine folder beside them, device/linux/
  // (termios2, poll, eventfd, inotify) or device/win32/, and makes it the
  // library's PRIVATE include directory. Each engine folder holds a private
  // header serial_port_impl.h, included by bare name by that folder's files
  // only, that defines CSerialPort::Impl: everything the engine keeps of the
  // operating system's (descriptors or handles, the wake-up object, the
  // reader thread, the watch for a lost port) and the engine's own steps.
  //
  // Shared, defined in serial_port.cpp: Open and Close (the settings and the
  // port name resolved, then the engine's OpenDevice; Close's CloseDevice),
  // the On... hooks' defaults, the callback setters, IsOpen, IsLost,
  // GetLostState, GetOpenError, GetReaderWakeups, Write's argument check
  // (both Write forms) and ReportState, over the members below this comment.
  // Per engine, defined in its folder: the constructor and destructor (Impl
  // is complete only there), OpenDevice, CloseDevice, WriteAll, SetRTS,
  // SetDTR, GetCTS, GetDSR, GetRLSD, GetRING, GetErrorCounts, and
  // ReadDeviceAccess (see serial_open_error.h). The engine's reader sets m_running, m_lost and
  // m_nReaderWakeups, calls ReportState and the virtual hooks; Open sets
  // m_openError. Nothing here names an operating-system type.
  // Shared pure helpers for any engine: serial_settings.h (the texts, the
  // speed check), port_path.h (port names), port_list.h (which device a
  // reopen may take back), serial_errors.h, serial_open_error.h (the words).
  // The Linux engine: serial_port_linux.cpp (open, close, write, lines,
  // counters), serial_open.cpp (the open's steps), serial_reader.cpp (the
  // reader and the reopen), port_watch.cpp (CPortWatch: the reopen's pace),
  // serial_termios.cpp, device_access.cpp.
  // The Win32 engine: serial_port_win32.cpp (open, close, write, lines,
  // error bits), serial_open_win32.cpp (the open's steps as the overlapped
  // COM API takes them), serial_reader_win32.cpp (the event loop, one-byte
  // reads, the reopen).
  struct Impl;

  // Opens the device at path (resolved from the port's name) with the
  // settings and starts the reader; false with the cause in m_openError.
  // Per engine; controlling thread, under m_threadLock.
  bool OpenDevice(const std::string& path, const SerialLineSettings& settings, std::uint32_t eventMask);
  // Wakes the reader and any writer, joins the reader and closes the device.
  // Per engine; controlling thread, under m_threadLock, only while running.
  void CloseDevice();
  // Hands the bytes to the driver; length and data already checked. Per
  // engine.
  SysError WriteAll(const std::uint8_t* data, std::size_t length);
  // Runs the port state callback, when one is set (reader thread).
  void ReportState(int lost);

  std::atomic<std::int32_t> m_running{0};
  std::atomic<std::int32_t> m_lost{0};
  std::atomic<void*> m_pReceiveContext{nullptr};
  std::atomic<ReceiveCallback> m_pfnReceive{nullptr};
  std::atomic<ReceiveBlockCallback> m_pfnReceiveBlock{nullptr};
  std::atomic<void*> m_pStateContext{nullptr};
  std::atomic<PortStateCallback> m_pfnState{nullptr};
  // The idle time-out: read by the reader before each wait.
  std::atomic<IdleCallback> m_pfnIdle{nullptr};
  std::atomic<std::int32_t> m_nIdleMs{0};
  std::atomic<std::uint32_t> m_nReaderWakeups{0};
  SerialOpenError m_openError;  // controlling thread
  // Held by Open and Close for their whole extent.
  CLockSection m_threadLock;
  std::unique_ptr<Impl> m_pImpl;
};
