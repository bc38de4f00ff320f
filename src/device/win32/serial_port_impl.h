// PRIVATE to the Win32 serial engine (the files of src/device/win32). Not
// part of the device library's interface: nothing outside this folder
// includes it (other layers use device/serial_port.h), and it may change
// with any change of the engine. The Linux engine has its own.
//
// CSerialPort::Impl: what the engine keeps of the system's (the port handle
// opened for overlapped I/O, the events that end its waits, the reader
// thread, the requests the reader and the writer have out) and the engine's
// steps. Its functions run on the threads the public function that calls
// them runs on; the reader's (serial_reader_win32.cpp) on the reader thread
// only.
#pragma once

#include "win32_api.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "device/lock.h"
#include "device/port_list.h"
#include "device/serial_port.h"
#include "device/serial_settings.h"

struct CSerialPort::Impl {
  explicit Impl(CSerialPort& port) : m_port(port) {}
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // ---- handles (serial_port_win32.cpp) ----
  // Remembers what Open opened (the device path, "\\.\COM3"), for the
  // reopen after a hang-up, and which device may be taken back.
  void Remember(const std::string& path, const SerialLineSettings& settings, std::uint32_t eventMask);
  // Makes the events once per engine; false with the cause in *error.
  bool MakeEvents(const std::string& name, SerialOpenError* error);
  // Starts the reader on the open port; false, with the port closed and the
  // cause in *error, when it cannot. Controlling thread, under the port's
  // m_threadLock.
  bool StartReader(HANDLE port, SerialOpenError* error);
  // Signals the stop event (which stays set: every wait that includes it
  // ends) and joins the reader. Controlling thread.
  void StopReader();
  HANDLE GetPort();
  // Under m_handleLock: the handle in use, null for none.
  void SetPort(HANDLE port);
  // Closes the port once no writer uses it. Controlling thread, after the
  // reader has ended.
  void ClosePort();
  // Counts the error bits one ClearCommError returned. Any thread.
  void CountCommErrors(DWORD errors);
  // ClearCommError on port, its bits counted: false when the call failed.
  bool ClearErrors(HANDLE port, COMSTAT* status);
  bool SetLine(DWORD escape);
  bool GetLine(DWORD bit, int* state);
  // Waits for the write request, with the time its bytes take on the line
  // and a margin; the bytes written, or the failure (ECANCELED on Close).
  SysError AwaitWrite(HANDLE port, DWORD length, DWORD* written);

  // ---- the reader thread (serial_reader_win32.cpp) ----
  void ReaderMain(HANDLE port);
  // WaitCommEvent on m_waitRequest: NO_ERROR when it is done at once,
  // ERROR_IO_PENDING when it is out, else why it failed.
  DWORD IssueWait(HANDLE port);
  // No wait has been issued yet (a value no Win32 error has).
  static constexpr DWORD kNoWait = 0xFFFFFFFF;
  // Serves the port until Close (true) or a hang-up or failure (false).
  // idleArmed: a reopened port runs the idle hook after its first quiet
  // spell even before a byte arrives, for whatever the hook still holds.
  // issued: what IssueWait returned for the wait already issued, or kNoWait.
  bool ServePort(HANDLE port, bool idleArmed, DWORD issued);
  // Reads the input queue one byte per request and delivers it in blocks;
  // false when the port failed. *idleArmed is set by a block.
  bool Drain(HANDLE port, bool* idleArmed);
  // One byte: 1 read, 0 nothing read, -1 the port failed, -2 Close came.
  int ReadOneByte(HANDLE port, std::uint8_t* byte);
  void RunLineHooks(HANDLE port, std::uint32_t mask);
  // Closes the lost port and waits until its device path opens again, with
  // the device that was there (ReopenRuleFor, SerialDeviceIdentity): the new
  // handle, or null on Close.
  HANDLE AwaitReopen(HANDLE lost);
  bool IsSameDeviceBack(bool* reported);
  void SetLost(int state);

  // Cancels request (if it is still out) and waits until the driver has
  // given it back, at most a second: the request's memory must stay valid
  // until then, and these requests are members for that reason.
  static void Retire(HANDLE port, OVERLAPPED* request);
  // Retire for the event wait, which not every driver cancels (Wine's
  // polls until an event comes or the mask changes): a new event mask ends a
  // pending wait on every driver.
  void RetireWait(HANDLE port);

  CSerialPort& m_port;
  // Held by Write for its whole extent and while a port handle is closed or
  // replaced, so a writer never uses a closed handle.
  CLockSection m_writeLock;
  CLockSection m_handleLock;
  HANDLE m_hPort = nullptr;  // guarded by m_handleLock

  // Manual-reset events, made by the first Open and kept until the engine
  // goes. The stop event is set by Close and reset by the next Open.
  HANDLE m_hStopEvent = nullptr;
  HANDLE m_hWaitEvent = nullptr;   // the reader's WaitCommEvent
  HANDLE m_hReadEvent = nullptr;   // the reader's one-byte reads
  HANDLE m_hWriteEvent = nullptr;  // writes, under m_writeLock
  // The requests. A request the driver has not given back when the reader
  // ends still refers to these, until the handle is closed.
  OVERLAPPED m_waitRequest{};
  DWORD m_dwWaitMask = 0;
  OVERLAPPED m_readRequest{};
  std::uint8_t m_readByte = 0;
  OVERLAPPED m_writeRequest{};
  std::thread m_readerThread;

  // What the driver reported as lost or damaged: ClearCommError's error
  // bits, each counted once per call that returned it, since Open.
  std::atomic<std::uint32_t> m_nOverruns{0};
  std::atomic<std::uint32_t> m_nQueueOverruns{0};
  std::atomic<std::uint32_t> m_nParityErrors{0};
  std::atomic<std::uint32_t> m_nFrameErrors{0};
  std::atomic<bool> m_bErrorCounters{false};

  // What Open opened, for the reopen after a hang-up; set before the reader
  // starts and only read by it afterwards.
  std::string m_strName;        // "COM3", as the messages name it
  std::string m_strDevicePath;  // "\\.\COM3"
  SerialLineSettings m_settings;
  std::uint32_t m_eventMask = 0;
  SerialReopenRule m_reopenRule = SerialReopenRule::kFollow;
  std::string m_strIdentity;  // of the device opened, for kSameDevice

  // The reader's start, under m_startMutex: it has issued its first wait,
  // and why that failed (NO_ERROR when it did not).
  std::mutex m_startMutex;
  std::condition_variable m_startCv;
  bool m_bReaderStarted = false;
  DWORD m_dwStartError = NO_ERROR;
};
