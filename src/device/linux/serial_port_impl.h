// PRIVATE to the Linux serial engine (the files of src/device/linux). Not
// part of the device library's interface: nothing outside this folder
// includes it (other layers use device/serial_port.h), and it may change
// with any change of the engine. The Win32 engine has its own.
//
// CSerialPort::Impl: what the engine keeps of the operating system's (the
// port's descriptor, the eventfd that wakes the reader, the reader thread,
// the driver's error counters) and the engine's steps. Its functions run on
// the threads the public function that calls them runs on; the reader's
// (serial_reader.cpp) run on the reader thread only.
#pragma once

#include <condition_variable>
#include <cstddef>
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

  // ---- descriptors (serial_port_linux.cpp) ----
  // Remembers what Open opened, for the reopen after a hang-up.
  void Remember(const std::string& path, const SerialLineSettings& settings, std::uint32_t eventMask);
  // Starts the reader on the open descriptor fd; false, with fd closed and
  // the cause in *error, when it cannot. Controlling thread, under
  // the port's m_threadLock.
  bool StartReader(int fd, SerialOpenError* error);
  // Wakes the reader (and any writer) and joins it. Controlling thread.
  void StopReader();
  int GetPort();
  // Under m_handleLock: the descriptor in use, -1 for none.
  void SetPort(int port);
  void CloseDescriptors();
  void FoldErrorCounts();
  bool SetLine(int bit, int state);
  bool GetLine(int bit, int* state);

  // ---- the reader thread (serial_reader.cpp) ----
  void ReaderMain(int port, int stop);
  // Serves the port until Close (true) or a hang-up (false). idleArmed: a
  // reopened port runs the idle hook after its first quiet spell even before
  // a byte arrives, for whatever the hook still holds.
  bool ServePort(int port, int stop, bool idleArmed);
  // Reads what a wake-up of the port brought and delivers it; false when the
  // port hung up or failed. *idleArmed is set by a block.
  bool ReadAvailable(int port, short revents, bool* idleArmed);
  void RunLineHooks(int port, bool* linesReadable);
  // Closes the lost port and waits until the path opens again: the new
  // descriptor, or -1 on Close.
  int AwaitReopen(int lost, int stop);
  // Closes the descriptor that hung up once no writer uses it.
  void DropLostPort(int lost);
  int TryReopen(SerialOpenError* error);
  // Whether the device now at the path may be taken back; reports another
  // device once per appearance through *reported.
  bool IsSameDeviceBack(bool* reported);
  void SetLost(int state);

  CSerialPort& m_port;
  // Held by Write for its whole extent and by Close while it closes the
  // descriptors, so a writer never uses a closed descriptor.
  CLockSection m_writeLock;
  // The wake descriptor (an eventfd): written once by Close, then readable
  // until it is closed, so every wait that includes it ends.
  int m_hStopEvent = -1;
  int m_hPort = -1;  // guarded by m_handleLock
  std::thread m_readerThread;
  CLockSection m_handleLock;
  // The driver's error counters, under m_handleLock: the sum over the
  // descriptors closed since Open, and the current descriptor's counters when
  // it was opened and when they were last read.
  SerialErrorCounts m_errorsClosed;
  SerialErrorCounts m_errorsAtOpen;
  SerialErrorCounts m_errorsSeen;
  bool m_bErrorCounters = false;
  std::uint32_t m_eventMask = 0;
  // What Open opened, for the reopen after a hang-up; set before the reader
  // starts and only read by it afterwards.
  std::string m_strPath;
  SerialLineSettings m_settings;
  SerialReopenRule m_reopenRule = SerialReopenRule::kFollow;
  std::string m_strIdentity;  // of the adapter opened, for kSameDevice
  std::string m_strPtyLink;   // PtyLinkState of the path opened (port_watch.h)

  std::mutex m_startMutex;
  std::condition_variable m_startCv;
};
