// CDeviceSerial: the serial-port device. Opens its port from the five text
// items of its start parameters ("Port", "Baud", "Parity", "DataBit",
// "StopBit") through a CSerialPort engine, passes every received byte to the
// data sink under the device lock, counts what it received, forwarded and
// sent, measures the receive rate, writes to the port, maps parameter items
// onto the modem lines and presents itself in nineteen rows.
//
// Threads: the engine's reader thread runs OnPortBlock/OnPortByte and through
// them the sink; everything else runs on the UI thread (writes and the line
// operations may run on any thread). Never call Start, Stop, Reset or the
// destructor from a sink.
// Hang-up: the engine reopens the port on its own (see serial_port.h); the
// device reports the port lost meanwhile, keeps its counters and its sink,
// and refuses writes.
// Blocking: Stop, Reset and the destructor close the engine, which waits for
// the reader to finish the block it is delivering; they let go of the device
// lock meanwhile (at whatever depth the caller holds it), so a reader waiting
// for the lock finishes and ends normally. Writes block as CSerialPort::Write
// does and do not take the device lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_base.h"
#include "device/serial_port.h"

// The comm events the serial device has its engine watch (0x1B): received
// characters, the event character, CTS and DSR.
constexpr std::uint32_t SERIAL_EVENT_MASK = EV_RXCHAR | EV_RXFLAG | EV_CTS | EV_DSR;

// The start parameters a serial device opens its port from: the text items
// "Port", "Baud", "Parity" (a display name, see serial_settings.h), "DataBit"
// and "StopBit", in that order. Any thread.
CParameters SerialStartParameters(const std::string& port, const std::string& baud, const std::string& parity,
                                  const std::string& dataBits, const std::string& stopBits);

class CDeviceSerial : public CDeviceBase {
  DECLARE_RUNTIME_CLASS(CDeviceSerial)

 public:
  // Where the receive rate takes its milliseconds from (GetTickCount unless a
  // test injects another).
  using TickSource = std::uint32_t (*)();

  CDeviceSerial();
  // Closes the port: waits for the reader to end, never longer than the
  // block it is delivering.
  ~CDeviceSerial() override;

  bool IsPersistent() override;
  bool CanOutput() override;
  bool CanInput() override;
  bool IsSimulated() override;
  // The engine's IsOpen; does not take the device lock.
  bool IsRunning() override;
  // While a started port has hung up and is not open again. Any thread;
  // does not take the device lock.
  bool IsPortLost();
  // Why the port is lost: 0 while it is not, else one of the SERIAL_PORT_
  // states (waiting, gone for good, another device at its name).
  int GetPortLostState();
  // Why the last Start failed, as one line (GBK) for below the open-error
  // message; empty after a Start that worked.
  std::string GetOpenErrorCause();
  // What the driver lost or damaged since Start (see
  // CSerialPort::GetErrorCounts): true with *counts set, or false when the
  // port's driver keeps no counters or the device is stopped. Any thread; does not
  // take the device lock. Asks the driver: poll it, never per byte.
  bool GetDriverErrorCounts(SerialErrorCounts* counts);
  // The same failure as the step and error number, for callers that word it
  // themselves (the headless bridge in English).
  SerialOpenError GetOpenError();
  // Called on the reader thread, without the device lock, when the port is
  // lost (lost 1) and when it is open again (lost 0); null removes it. Stays
  // over Stop and Start.
  void SetPortStateListener(PortStateCallback fn, void* context);
  // Opens the port with the five settings; on failure adds the open-error
  // text to a non-null log. On a started device: 1, the port keeps running.
  int Start(CMessageLog* log) override;
  int Start(const CParameters& params, CMessageLog* log) override;
  // Reset; always 1.
  int Stop(CMessageLog* log) override;
  int Stop(const CParameters& params, CMessageLog* log) override;
  int SetStartParameters(const CParameters& params, CMessageLog* log) override;
  // The nineteen rows, then the four categories into out.
  void GetPresentation(CParameters& out) override;
  // Stores the idle hook and hands its time-out to the running engine (and
  // to every engine Start opens later).
  void SetDataSinkIdle(IdleHook fn, int idleMs) override;
  // "RTS" and "DTR" integer items drive the lines; 0 on a stopped device.
  int SetControlLines(const CParameters& lines) override;
  // Integer items "CTS", "DSR", "RLSD", "RING": the line state, or 1 with a
  // result of 0 when the state cannot be read.
  int GetStatusLines(CParameters& lines) override;
  // 0 on a stopped device, a lost port (or a negative length); otherwise the bytes go to
  // the engine, the sent count grows by their number and the result is 1,
  // whatever the engine reports.
  int Write(const void* data, int length) override;
  int WriteText(const std::string& text) override;
  int WriteBytes(const std::vector<std::uint8_t>& bytes) override;

  std::string GetPort();
  std::string GetBaud();
  std::string GetParity();
  std::string GetDataBit();
  std::string GetStopBit();

  // Closes the port by replacing the engine with a new, closed one (the old
  // one is closed after it has been taken out, with the device lock let go),
  // then zeroes the counters and restarts the rate measurement. The data
  // sink stays registered.
  void Reset();

  // The engine's callbacks (context: the device), on the reader thread. A
  // block takes the device lock once; the sink still gets one call per byte.
  static int OnPortByte(unsigned int byte, void* context);
  static void OnPortBlock(const std::uint8_t* data, std::size_t length, void* context);
  static void OnPortIdle(void* context);
  static void OnPortState(int lost, void* context);

  // Test hooks.
  void SetTickSource(TickSource fn);
  std::uint32_t GetReaderWakeups();

 private:
  std::shared_ptr<CSerialPort> Engine();
  void DeliverLocked(const std::uint8_t* data, std::size_t length);
  std::string RateText();

  // The engine; replaced by Reset. Guarded by m_portLock, which is held only
  // to copy or swap the pointer, so a writer keeps the engine it started on
  // alive (closed, if Reset came in between) without the device lock.
  std::mutex m_portLock;
  std::shared_ptr<CSerialPort> m_pPort;
  // Received and forwarded change on the reader thread under m_lock; sent on
  // writing threads. Shown as signed 32-bit values, wrapping.
  std::atomic<std::uint32_t> m_received{0};
  std::atomic<std::uint32_t> m_forwarded{0};
  std::atomic<std::uint32_t> m_sent{0};
  // The rate measurement, under m_lock.
  std::uint32_t m_dwRateTick = 0;
  int m_bRateUnmeasured = 1;
  std::uint32_t m_rateBase = 0;
  std::string m_strLastRate;
  std::string m_strOpenCause;  // under m_lock
  SerialOpenError m_openError;  // under m_lock
  std::atomic<PortStateCallback> m_pfnStateListener{nullptr};
  std::atomic<void*> m_pStateListenerContext{nullptr};
  TickSource m_pfnTick;
};
