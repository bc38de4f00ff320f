// A pseudo-terminal pair standing in for a serial port and the device on its
// other end: the slave's path is the "serial port", the test plays the device
// on the master. Built on posix_openpt so that tests which include
// <asm/termbits.h> (which clashes with <termios.h>) can use it too. The line
// settings are left to the code under test, which must make the port raw.
#pragma once

#include <fcntl.h>
#include <stdio.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

struct PtyPair {
  int master = -1;
  int slave = -1;  // kept open so that the master never sees the slave gone
  std::string path;

  PtyPair() = default;
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // True when a pair could be had; reason says why not.
  bool Open(std::string* reason = nullptr) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return Fail(reason, "posix_openpt");
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof(name)) != 0)
      return Fail(reason, "grantpt/unlockpt/ptsname");
    path = name;
    slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) return Fail(reason, "open slave");
    return true;
  }

  void CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
  }

  // Both ends gone, as when a USB adapter is pulled out.
  void Unplug() {
    CloseMaster();
    if (slave >= 0) close(slave);
    slave = -1;
  }

  ~PtyPair() {
    CloseMaster();
    if (slave >= 0) close(slave);
  }

  // Writes all of data to the master.
  bool WriteMaster(const void* data, std::size_t size) const {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
      const ssize_t n = write(master, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool WriteMaster(const std::vector<std::uint8_t>& bytes) const { return WriteMaster(bytes.data(), bytes.size()); }

  // Reads from the master until want bytes came or nothing came for waitMs.
  std::vector<std::uint8_t> ReadMaster(std::size_t want, int waitMs) const {
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[4096];
    while (out.size() < want) {
      pollfd fd = {master, POLLIN, 0};
      if (poll(&fd, 1, waitMs) <= 0) break;
      const ssize_t n = read(master, buffer, sizeof(buffer));
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }

 private:
  bool Fail(std::string* reason, const char* what) {
    if (reason != nullptr) *reason = std::string("no pseudo-terminal: ") + what + " failed";
    return false;
  }
};

// Points the symbolic link at target in one step (a new link renamed over
// the old one), as udev re-creates a re-plugged adapter's stable name.
inline bool PointLink(const std::string& link, const std::string& target) {
  const std::string fresh = link + ".new";
  unlink(fresh.c_str());
  return symlink(target.c_str(), fresh.c_str()) == 0 && rename(fresh.c_str(), link.c_str()) == 0;
}

// Opens a pair or skips the test.
#define OPEN_PTY_OR_SKIP(pair)                      \
  do {                                              \
    std::string ptyReason;                          \
    if (!(pair).Open(&ptyReason)) GTEST_SKIP() << ptyReason; \
  } while (0)
