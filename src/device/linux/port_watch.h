// PRIVATE to the Linux serial engine (the files of src/device/linux); see
// serial_port_impl.h.
//
// CPortWatch: how a lost port's reader waits between attempts to reopen it.
// It watches the device's folder with inotify (a re-plugged adapter's node,
// or its stable name's link, appears there, and udev changes its owner and
// mode there) and paces the attempts: never two closer than a second, and
// one at least every 5 seconds without a change in the folder (a port that
// another program held opens without one). Without a watch every attempt
// comes on the short pace.
//
// Threads: the reader thread only. Blocking: WaitForTry sleeps until an
// attempt is due or the stop descriptor becomes readable.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class CPortWatch {
 public:
  // Starts watching the folder of devicePath and the pacing: the first
  // attempt is due a pace from now. Construct it before the loss is
  // reported, so that no change after the report is missed.
  explicit CPortWatch(const std::string& devicePath);
  ~CPortWatch();
  CPortWatch(const CPortWatch&) = delete;
  CPortWatch& operator=(const CPortWatch&) = delete;

  // Sleeps until the next attempt is due (true) or stop becomes readable, or
  // the wait itself fails (false: give up as on Close). Counts every return
  // from the wait in *wakeups.
  bool WaitForTry(int stop, std::atomic<std::uint32_t>* wakeups);
  // An attempt starts now: the pace counts from here, and the folder is
  // watched again if it had gone (it may come back with the device).
  void Tried();
  // The attempt failed with error number code. A reopen that fails for want
  // of descriptors (EMFILE, ENFILE) would fail the same way at every try
  // while the watch holds a descriptor of its own (with `ulimit -n` at the
  // edge, the watch takes the one the lost port gave back): the watch is
  // given up, its descriptor freed for the port, and the attempts come on
  // the short pace for as long as the port is lost.
  void TryFailed(int code);

 private:
  // Milliseconds until the next attempt is due; 0 when it is due.
  int MsUntilTry() const;
  void AddWatch();
  // Reads the folder's events; a change is noted, and a folder that went
  // ends the watch.
  void NoteEvents();

  std::string m_strFolder;
  int m_hWatch = -1;  // the inotify descriptor, -1 once given up
  bool m_bWatching = false;
  // Set by a change in the folder, cleared by an attempt. Once a change is
  // noted the folder is not watched until the next attempt, so a busy folder
  // wakes the reader no more than twice a second.
  bool m_bChanged = false;
  std::uint32_t m_nLastTry = 0;  // tick count of the last attempt
};

// A pseudo-terminal never comes back, but its number is soon another's. A
// link to one (socat's link=, a user's own) is followed only once it has been
// made again: this says which link it is (the link's inode and its text) when
// path is a link to a pseudo-terminal, else it is empty. Any thread; reads
// the file system.
std::string PtyLinkState(const std::string& path);
