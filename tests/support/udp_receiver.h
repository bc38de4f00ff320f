// A UDP receiver on 127.0.0.1 standing in for the network peer, and a way to
// pick a free local port. Header only; the receiver closes what it opened.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

// Receives datagrams on 127.0.0.1 at a port the system picks.
class UdpReceiver {
 public:
  struct Datagram {
    std::vector<std::uint8_t> bytes;
    std::uint16_t fromPort = 0;
  };

  UdpReceiver() = default;
  ~UdpReceiver() {
    if (m_fd >= 0) close(m_fd);
  }
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  // onAllInterfaces: bound to the any-address, so that broadcasts to the
  // loopback network (127.255.255.255) arrive too.
  bool Open(bool onAllInterfaces = false) {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_fd < 0) return false;
    int size = 4 << 20;
    setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(onAllInterfaces ? INADDR_ANY : INADDR_LOOPBACK);
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    socklen_t length = sizeof address;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    return true;
  }

  std::uint16_t Port() const { return m_port; }
  int Fd() const { return m_fd; }

  // Waits up to timeoutMs for one datagram.
  bool ReceiveFor(Datagram& out, int timeoutMs) {
    pollfd p {m_fd, POLLIN, 0};
    int ready;
    do {
      ready = poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    std::uint8_t buffer[65536];
    sockaddr_in from {};
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) return false;
    out.bytes.assign(buffer, buffer + n);
    out.fromPort = ntohs(from.sin_port);
    return true;
  }

  // A generous wait for a datagram that is expected to come.
  bool Receive(Datagram& out) { return ReceiveFor(out, 10000); }

 private:
  int m_fd = -1;
  std::uint16_t m_port = 0;
};

// A UDP port that was free a moment ago (bound and released again).
inline std::uint16_t FreeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) return 0;
  sockaddr_in address {};
  address.sin_family = AF_INET;
  std::uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}
