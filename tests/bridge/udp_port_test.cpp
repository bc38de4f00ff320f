#include "bridge/udp_port.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdint>
#include <vector>

#include "support/only_loopback.h"
#include "support/udp_receiver.h"

namespace {

std::vector<std::uint8_t> Pattern(int length) {
  std::vector<std::uint8_t> bytes(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i) bytes[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

}  // namespace

TEST(UdpPort, NothingIsSentWithoutASocket) {
  CUdpPort udp;
  EXPECT_EQ(udp.GetSocket().GetHandle(), CUdpSocket::kInvalidSocket);
  EXPECT_EQ(udp.GetLocalPort(), 0);
  std::uint8_t byte = 1;
  EXPECT_EQ(udp.SendTo(&byte, 1, "127.0.0.1", 9), -1);
  EXPECT_EQ(udp.Bind(2000), 0);
}

TEST(UdpPort, BoundSocketSendsOneDatagramFromItsPort) {
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open()) << "no UDP socket on 127.0.0.1";
  std::uint16_t local = FreeUdpPort();
  ASSERT_NE(local, 0);

  CUdpPort udp;
  ASSERT_EQ(udp.Create(SOCK_DGRAM), 1);
  EXPECT_NE(udp.GetSocket().GetHandle(), CUdpSocket::kInvalidSocket);
  ASSERT_EQ(udp.Bind(local), 1);
  EXPECT_EQ(udp.GetLocalPort(), local);

  std::vector<std::uint8_t> frame = Pattern(256);
  EXPECT_EQ(udp.SendTo(frame.data(), 256, "127.0.0.1", receiver.Port()), 256);
  UdpReceiver::Datagram got;
  ASSERT_TRUE(receiver.Receive(got));
  EXPECT_EQ(got.bytes, frame);
  EXPECT_EQ(got.fromPort, local);
  EXPECT_FALSE(receiver.ReceiveFor(got, 50)) << "exactly one datagram";
}

TEST(UdpPort, RecreatingClosesTheOldSocketSoTheSamePortBindsAgain) {
  std::uint16_t local = FreeUdpPort();
  ASSERT_NE(local, 0);
  CUdpPort udp;
  ASSERT_EQ(udp.Create(SOCK_DGRAM), 1);
  ASSERT_EQ(udp.Bind(local), 1);
  ASSERT_EQ(udp.Create(SOCK_DGRAM, "127.0.0.1"), 1);
  EXPECT_EQ(udp.GetBindAddress(), "127.0.0.1");
  EXPECT_EQ(udp.Bind(local, "127.0.0.1"), 1);

  // A second sender on a port that is still held fails to bind.
  CUdpPort other;
  ASSERT_EQ(other.Create(SOCK_DGRAM), 1);
  EXPECT_EQ(other.Bind(local), 0);
  EXPECT_EQ(other.GetLocalPort(), local);
}

TEST(UdpPort, UnboundSocketStillSends) {
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  CUdpPort udp;
  ASSERT_EQ(udp.Create(SOCK_DGRAM), 1);
  std::vector<std::uint8_t> frame = Pattern(128);
  EXPECT_EQ(udp.SendTo(frame.data(), 128, "127.0.0.1", receiver.Port()), 128);
  UdpReceiver::Datagram got;
  ASSERT_TRUE(receiver.Receive(got));
  EXPECT_EQ(got.bytes, frame);
  EXPECT_NE(got.fromPort, 0);
}

TEST(UdpPort, UnusableAddressesAndLengthsFail) {
  CUdpPort udp;
  ASSERT_EQ(udp.Create(SOCK_DGRAM), 1);
  std::uint8_t byte = 0;
  EXPECT_EQ(udp.SendTo(&byte, 1, "not an address", 9), -1);
  EXPECT_EQ(udp.SendTo(&byte, 1, "", 9), -1);
  EXPECT_EQ(udp.SendTo(&byte, 1, nullptr, 9), -1);
  EXPECT_EQ(udp.SendTo(&byte, -1, "127.0.0.1", 9), -1);
  EXPECT_EQ(udp.SendTo(nullptr, 4, "127.0.0.1", 9), -1);
  // A bind address that no interface carries fails the bind.
  CUdpPort elsewhere;
  ASSERT_EQ(elsewhere.Create(SOCK_DGRAM, "bogus"), 1);
  EXPECT_EQ(elsewhere.Bind(0, "bogus"), 0);
}

// Several frames in one call: each its own datagram of exactly the frame
// size, in order, also past the 64 one segmented send may carry, and also
// when the kernel refuses segmentation (a socket without checksums).
TEST(UdpPort, FramesLeaveAsSeparateDatagramsWithOrWithoutSegmentation) {
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open());
  const std::uint16_t local = FreeUdpPort();
  CUdpPort udp;
  ASSERT_EQ(udp.Create(SOCK_DGRAM), 1);
  ASSERT_EQ(udp.Bind(local), 1);
  const std::vector<std::uint8_t> bytes = Pattern(100 * 40);

  auto expectFrames = [&](int frameSize, int count) {
    for (int i = 0; i < count; ++i) {
      UdpReceiver::Datagram got;
      ASSERT_TRUE(receiver.Receive(got)) << "datagram " << i;
      ASSERT_EQ(got.bytes, std::vector<std::uint8_t>(bytes.begin() + i * frameSize,
                                                     bytes.begin() + (i + 1) * frameSize))
          << "datagram " << i;
      EXPECT_EQ(got.fromPort, local);
    }
    UdpReceiver::Datagram extra;
    EXPECT_FALSE(receiver.ReceiveFor(extra, 50));
  };

  EXPECT_EQ(udp.SendFrames(bytes.data(), 40, 100, "127.0.0.1", receiver.Port()), 100);
  expectFrames(40, 100);
  EXPECT_FALSE(udp.GetSocket().IsSegmentationRefused());
  EXPECT_EQ(udp.SendFrames(bytes.data(), 256, 1, "127.0.0.1", receiver.Port()), 1);
  expectFrames(256, 1);

  int on = 1;
  ASSERT_EQ(setsockopt(static_cast<int>(udp.GetSocket().GetHandle()), SOL_SOCKET, SO_NO_CHECK, &on, sizeof on), 0);
  EXPECT_EQ(udp.SendFrames(bytes.data(), 40, 70, "127.0.0.1", receiver.Port()), 70);
  expectFrames(40, 70);
  EXPECT_TRUE(udp.GetSocket().IsSegmentationRefused()) << "the refusal is remembered";
  on = 0;
  setsockopt(static_cast<int>(udp.GetSocket().GetHandle()), SOL_SOCKET, SO_NO_CHECK, &on, sizeof on);
  EXPECT_EQ(udp.SendFrames(bytes.data(), 128, 3, "127.0.0.1", receiver.Port()), 3);
  expectFrames(128, 3);
  EXPECT_TRUE(udp.GetSocket().IsSegmentationRefused());
  ASSERT_EQ(udp.Create(SOCK_DGRAM), 1);
  EXPECT_FALSE(udp.GetSocket().IsSegmentationRefused()) << "a new socket tries again";

  EXPECT_EQ(udp.SendFrames(bytes.data(), 40, 2, "not an address", receiver.Port()), -1);
  EXPECT_EQ(udp.SendFrames(bytes.data(), 0, 2, "127.0.0.1", receiver.Port()), -1);
}

// Over a path whose MTU is below one frame a segmented send fails where
// single datagrams go out as fragments: the frames still leave, whole. Runs
// in a child with a network namespace of its own, whose loopback gets an MTU
// of 1000.
TEST(UdpPort, FramesLargerThanThePathMtuStillLeave) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (unshare(CLONE_NEWNET) != 0) _exit(77);
    ifreq lo {};
    std::strcpy(lo.ifr_name, "lo");
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    lo.ifr_mtu = 1000;
    if (ioctl(control, SIOCSIFMTU, &lo) != 0) _exit(77);
    lo.ifr_flags = IFF_UP;
    if (ioctl(control, SIOCSIFFLAGS, &lo) != 0) _exit(77);
    UdpReceiver receiver;
    CUdpPort udp;
    if (!receiver.Open() || udp.Create(SOCK_DGRAM) != 1) _exit(2);
    const std::vector<std::uint8_t> bytes = Pattern(3 * 1024);
    if (udp.SendFrames(bytes.data(), 1024, 3, "127.0.0.1", receiver.Port()) != 3) _exit(3);
    for (int i = 0; i < 3; ++i) {
      UdpReceiver::Datagram got;
      if (!receiver.Receive(got)) _exit(4);
      if (got.bytes != std::vector<std::uint8_t>(bytes.begin() + i * 1024, bytes.begin() + (i + 1) * 1024)) _exit(5);
    }
    _exit(udp.GetSocket().IsSegmentationRefused() ? 0 : 6);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no network namespace of our own here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2 no socket, 3 not sent, 4 not received, 5 changed, 6 not remembered";
}

// A broadcast target delivers (the loopback network's 127.255.255.255 to a
// receiver on all interfaces); 255.255.255.255 is a target, not an error;
// and a send that fails keeps its cause: here the limited broadcast has no
// route, as any target without one.
TEST(UdpPort, BroadcastTargetsDeliverAndFailedSendsKeepTheirCause) {
  SKIP_UNLESS_ONLY_LOOPBACK();
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.Open(true));
  const std::uint16_t port = receiver.Port();

  CUdpPort udp;
  ASSERT_EQ(udp.Create(SOCK_DGRAM), 1);
  const std::vector<std::uint8_t> frames = Pattern(3 * 128);
  EXPECT_EQ(udp.SendFrames(frames.data(), 128, 3, "127.255.255.255", port), 3);
  EXPECT_EQ(udp.GetLastSendError(), 0);
  for (int i = 0; i < 3; ++i) {
    UdpReceiver::Datagram got;
    ASSERT_TRUE(receiver.Receive(got));
    EXPECT_EQ(got.bytes.size(), 128u);
  }

  EXPECT_EQ(udp.SendTo(frames.data(), 128, "255.255.255.255", port), -1);
  EXPECT_EQ(udp.GetLastSendError(), ENETUNREACH);
  EXPECT_EQ(DescribeSendError(ENETUNREACH, Wording::kEnglish), "no route to the target network");
  EXPECT_EQ(udp.SendFrames(frames.data(), 128, 3, "255.255.255.255", port), 0);
  EXPECT_EQ(udp.GetLastSendError(), ENETUNREACH);
  CUdpPort closed;
  EXPECT_EQ(closed.SendTo(frames.data(), 1, "127.0.0.1", port), -1);
  EXPECT_EQ(DescribeSendError(closed.GetLastSendError()), "网络端口未打开");
}
