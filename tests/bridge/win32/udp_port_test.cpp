// The sender on Windows Sockets: exact datagrams from the bound port, a
// port another socket holds refused with its cause, and every frame of a
// batch as a datagram of its own. Only 127.0.0.1.
#include "bridge/udp_port.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdint>
#include <vector>

namespace {

// A receiver on 127.0.0.1 at a port the system picks.
class Receiver {
 public:
  Receiver() {
    m_socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      m_port = ntohs(address.sin_port);
    }
    const DWORD limitMs = 5000;
    setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
  }
  ~Receiver() { closesocket(m_socket); }

  std::uint16_t Port() const { return m_port; }

  // One datagram and the port it came from; empty when none came.
  std::vector<std::uint8_t> Receive(std::uint16_t* fromPort = nullptr) {
    std::vector<std::uint8_t> bytes(65536);
    sockaddr_in from {};
    int length = sizeof from;
    const int n = recvfrom(m_socket, reinterpret_cast<char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
                           reinterpret_cast<sockaddr*>(&from), &length);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (fromPort != nullptr) *fromPort = ntohs(from.sin_port);
    return bytes;
  }

 private:
  SOCKET m_socket = INVALID_SOCKET;
  std::uint16_t m_port = 0;
};

std::vector<std::uint8_t> Pattern(int length) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

}  // namespace

TEST(Win32UdpPort, SendsExactDatagramsFromItsBoundPort) {
  CUdpPort udp;  // starts the sockets library for the receiver too
  Receiver receiver;
  ASSERT_NE(receiver.Port(), 0);
  ASSERT_EQ(udp.Create(SOCKET_TYPE_DATAGRAM), 1);
  ASSERT_EQ(udp.Bind(0, "127.0.0.1"), 1);
  const std::uint16_t local = udp.GetBoundPort();
  ASSERT_NE(local, 0);

  const std::vector<std::uint8_t> frames = Pattern(3 * 256);
  EXPECT_EQ(udp.SendTo(frames.data(), 256, "127.0.0.1", receiver.Port()), 256);
  std::uint16_t from = 0;
  EXPECT_EQ(receiver.Receive(&from), std::vector<std::uint8_t>(frames.begin(), frames.begin() + 256));
  EXPECT_EQ(from, local);

  EXPECT_EQ(udp.SendFrames(frames.data(), 256, 3, "127.0.0.1", receiver.Port()), 3);
  EXPECT_EQ(udp.GetLastSendError(), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(receiver.Receive(), std::vector<std::uint8_t>(frames.begin() + i * 256, frames.begin() + (i + 1) * 256));
  }
  EXPECT_EQ(udp.SendTo(frames.data(), 1, "no.such.address", receiver.Port()), -1);
  EXPECT_EQ(udp.GetLastSendError(), EDESTADDRREQ);
}

TEST(Win32UdpPort, APortAnotherSocketHoldsIsRefusedWithItsCause) {
  CUdpPort first;
  ASSERT_EQ(first.Create(SOCKET_TYPE_DATAGRAM), 1);
  ASSERT_EQ(first.Bind(0), 1);
  const std::uint16_t port = first.GetBoundPort();
  CUdpPort second;
  ASSERT_EQ(second.Create(SOCKET_TYPE_DATAGRAM), 1);
  EXPECT_EQ(second.Bind(port), 0);
  EXPECT_EQ(second.GetBindError(), (SysError{SysStep::kBind, EADDRINUSE}));
  EXPECT_EQ(second.DescribeBindError(Wording::kEnglish), "in use by another program");
  first.Close();
  EXPECT_EQ(second.Bind(port), 1) << "the port is free once the first socket closed";
}
