#include "bridge/quillon_doc.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/config_dir.h"
#include "platform/message_box.h"
#include "support/config_dir_override.h"
#include "support/pty_pair.h"
#include "support/serial_settings.h"
#include "support/temp_folder.h"
#include "support/udp_receiver.h"
#include "support/wait.h"

namespace {

const char kBindFailed[] = "网络端口绑定失败，请更换端口号！";

std::vector<std::uint8_t> Counting(int count, int first = 1) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(first + i));
  return bytes;
}

class QuillonDocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_tempDir.path.empty());
    m_previousBox = SetMessageBoxHandler([this](const std::string& text) { m_boxes.push_back(text); });
    m_doc = std::make_unique<CQuillonDoc>();
    ASSERT_EQ(m_doc->OnNewDocument(), 1);
    if (!m_pty.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  }

  void TearDown() override {
    m_doc.reset();
    SetMessageBoxHandler(m_previousBox);
  }

  // Opens the document's serial port on the pty.
  void OpenPty() {
    ASSERT_EQ(m_doc->OpenSerial(SerialSettings(m_pty.path)), 1);
  }

  // Starts the network port towards a receiver on 127.0.0.1.
  void StartNetwork(int frameSize) {
    ASSERT_TRUE(m_receiver.Open());
    m_localPort = FreeUdpPort();
    ASSERT_NE(m_localPort, 0);
    m_doc->SetNetworkSettings(m_localPort, "127.0.0.1", m_receiver.Port(), frameSize);
    ASSERT_EQ(m_doc->OpenNetPort(), 1);
  }

  // Writes bytes into the port and waits until the document has counted them.
  void Feed(const std::vector<std::uint8_t>& bytes) {
    const std::uint64_t expected = m_doc->GetBytesReceived() + bytes.size();
    ASSERT_TRUE(m_pty.WriteMaster(bytes));
    ASSERT_TRUE(WaitUntil([&] { return m_doc->GetBytesReceived() == expected; }))
        << "received " << m_doc->GetBytesReceived() << " of " << expected;
  }

  TempFolder m_tempDir{"doc"};
  const std::string m_configDir = m_tempDir / "ConfigFile";
  ScopedConfigDir m_configOverride{m_configDir};
  MessageBoxHandler m_previousBox;
  std::vector<std::string> m_boxes;
  PtyPair m_pty;
  UdpReceiver m_receiver;
  std::uint16_t m_localPort = 0;
  std::unique_ptr<CQuillonDoc> m_doc;
};

TEST_F(QuillonDocTest, ConstructionZeroesStateLinksTheConsoleAndMakesTheConfigFolder) {
  CQuillonDoc fresh;  // no OnNewDocument: as after opening a file at start-up
  EXPECT_FALSE(fresh.IsForwarding());
  EXPECT_FALSE(fresh.IsCommandOpen());
  EXPECT_EQ(fresh.GetFrameSize(), 0);
  EXPECT_EQ(fresh.GetFrameFill(), 0);
  EXPECT_EQ(fresh.GetBytesReceived(), 0);
  EXPECT_EQ(fresh.GetFramesSent(), 0);
  EXPECT_EQ(fresh.GetDisplayBytes(), 0u);
  EXPECT_EQ(fresh.GetCommandConsole().GetDevice(), &fresh.GetDevice());
  EXPECT_EQ(fresh.GetCommandConsole().GetDoc(), &fresh);
  EXPECT_EQ(fresh.GetConfigDir(), m_configDir);
  struct stat st {};
  ASSERT_EQ(stat(m_configDir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  // Sending a command without an open port writes nothing and does not crash.
  fresh.SendToDevice(fresh.GetCommandConsole().GetDevice(), "AT\r\n");
  fresh.SendToDevice(nullptr, "AT\r\n");
}

TEST_F(QuillonDocTest, FramesOfExactlyTheFrameSizeLeaveAsDatagrams) {
  OpenPty();
  StartNetwork(128);
  m_doc->StartForwarding();
  m_doc->SetCommandOpen(true);  // the console takes each byte too; the frame path is the same
  Feed(Counting(300));

  UdpReceiver::Datagram first, second, extra;
  ASSERT_TRUE(m_receiver.Receive(first));
  ASSERT_TRUE(m_receiver.Receive(second));
  EXPECT_EQ(first.bytes, Counting(128, 1));
  EXPECT_EQ(second.bytes, Counting(128, 129));
  EXPECT_EQ(first.fromPort, m_localPort);
  EXPECT_FALSE(m_receiver.ReceiveFor(extra, 100)) << "a partial frame is never sent";
  EXPECT_EQ(m_doc->GetFramesSent(), 2);
  EXPECT_EQ(m_doc->GetFrameFill(), 44);

  // Switching forwarding off and on continues the same partial frame.
  m_doc->StopForwarding();
  Feed(Counting(10, 0x80));
  EXPECT_EQ(m_doc->GetFrameFill(), 44);
  m_doc->StartForwarding();
  Feed(Counting(84, 45));
  ASSERT_TRUE(m_receiver.Receive(extra));
  EXPECT_EQ(extra.bytes, Counting(128, 1 + 256));
  EXPECT_EQ(m_doc->GetFramesSent(), 3);
  EXPECT_EQ(m_doc->GetFrameFill(), 0);
}

TEST_F(QuillonDocTest, FramesAsLargeAsTheBufferLeaveWholeFromAPortOnAllInterfaces) {
  OpenPty();
  StartNetwork(1024);
  // The local port listens on every interface, not on loopback alone.
  sockaddr_in bound {};
  socklen_t length = sizeof bound;
  const int socket = static_cast<int>(m_doc->GetUdpPort().GetSocket().GetHandle());
  ASSERT_EQ(getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length), 0);
  EXPECT_EQ(ntohl(bound.sin_addr.s_addr), INADDR_ANY);
  EXPECT_EQ(ntohs(bound.sin_port), m_localPort);

  m_doc->StartForwarding();
  const std::vector<std::uint8_t> bytes = Counting(2 * 1024 + 5, 7);
  Feed(bytes);
  for (int frame = 0; frame < 2; ++frame) {
    UdpReceiver::Datagram got;
    ASSERT_TRUE(m_receiver.Receive(got));
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(bytes.begin() + frame * 1024, bytes.begin() + (frame + 1) * 1024));
  }
  EXPECT_EQ(m_doc->GetFramesSent(), 2);
  EXPECT_EQ(m_doc->GetFrameFill(), 5);
}

// Frames completed within one block wait for its end and then leave as one
// datagram each, in order, whether the kernel segments them or not; a frame
// size changed mid-block drops the frames batched at the old size.
TEST_F(QuillonDocTest, FramesOfOneBlockLeaveTogetherAtItsEnd) {
  StartNetwork(128);
  m_doc->StartForwarding();
  auto feedBlock = [&](const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) m_doc->OnSerialByte(b);
  };
  auto expectDatagrams = [&](const std::vector<std::vector<std::uint8_t>>& frames) {
    for (const auto& frame : frames) {
      UdpReceiver::Datagram got;
      ASSERT_TRUE(m_receiver.Receive(got));
      EXPECT_EQ(got.bytes, frame);
      EXPECT_EQ(got.fromPort, m_localPort);
    }
    UdpReceiver::Datagram extra;
    EXPECT_FALSE(m_receiver.ReceiveFor(extra, 50));
  };

  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "sendmmsg" : "UDP_SEGMENT");
    int on = refuse ? 1 : 0;  // a socket without checksums cannot be segmented
    const int socket = static_cast<int>(m_doc->GetUdpPort().GetSocket().GetHandle());
    setsockopt(socket, SOL_SOCKET, SO_NO_CHECK, &on, sizeof on);
    const int sentBefore = m_doc->GetFramesSent();
    feedBlock(Counting(4 * 128 + 10));
    UdpReceiver::Datagram early;
    EXPECT_FALSE(m_receiver.ReceiveFor(early, 50)) << "nothing before the block ends";
    m_doc->OnSerialBlockEnd();
    EXPECT_EQ(m_doc->GetFramesSent(), sentBefore + 4);
    expectDatagrams({Counting(128, 1), Counting(128, 129), Counting(128, 257), Counting(128, 385)});
    EXPECT_EQ(m_doc->GetUdpPort().GetSocket().IsSegmentationRefused(), refuse);
    feedBlock(Counting(118, 11));  // completes the partial frame: one frame, one sendto
    m_doc->OnSerialBlockEnd();
    expectDatagrams({Counting(128, 1)});
  }

  // Two frames of 128 complete, then the size becomes 256 before the block
  // ends: they leave at the size they completed with, then the 256 bytes.
  const std::uint64_t sentBefore = m_doc->GetFramesSent();
  feedBlock(Counting(256, 1));
  m_doc->SetNetworkSettings(m_localPort, "127.0.0.1", m_receiver.Port(), 256);
  feedBlock(Counting(256, 0x40));
  m_doc->OnSerialBlockEnd();
  expectDatagrams({Counting(128, 1), Counting(128, 129), Counting(256, 0x40)});
  EXPECT_EQ(m_doc->GetFramesSent(), sentBefore + 3);
  EXPECT_EQ(m_doc->GetFramesFailed(), 0u);
}

// The idle flush sends the batched frames whole, then the partial frame as
// one shorter datagram; never a partial that is not shorter than a frame.
TEST_F(QuillonDocTest, IdleFlushSendsTheBatchThenThePartialFrame) {
  StartNetwork(128);
  m_doc->StartForwarding();
  for (std::uint8_t b : Counting(130)) m_doc->OnSerialByte(b);
  m_doc->OnSerialIdle();
  EXPECT_EQ(m_doc->GetFramesSent(), 2);
  EXPECT_EQ(m_doc->GetFrameFill(), 0);
  UdpReceiver::Datagram got;
  ASSERT_TRUE(m_receiver.Receive(got));
  EXPECT_EQ(got.bytes, Counting(128, 1));
  ASSERT_TRUE(m_receiver.Receive(got));
  EXPECT_EQ(got.bytes, Counting(2, 129));
  m_doc->OnSerialIdle();  // nothing waits
  EXPECT_FALSE(m_receiver.ReceiveFor(got, 50));

  for (std::uint8_t b : Counting(100)) m_doc->OnSerialByte(b);
  m_doc->SetNetworkSettings(m_localPort, "127.0.0.1", m_receiver.Port(), 64);
  m_doc->OnSerialIdle();
  EXPECT_FALSE(m_receiver.ReceiveFor(got, 50)) << "100 bytes are no shorter datagram of a 64-byte frame";
  EXPECT_EQ(m_doc->GetFramesSent(), 2);
}

TEST_F(QuillonDocTest, ForwardingOffCountsAndShowsButDoesNotFrame) {
  OpenPty();
  StartNetwork(128);
  Feed(Counting(200, 0x30));
  EXPECT_EQ(m_doc->GetBytesReceived(), 200);
  EXPECT_EQ(m_doc->GetDisplayBytes(), 200u);
  EXPECT_EQ(m_doc->GetFrameFill(), 0);
  EXPECT_EQ(m_doc->GetFramesSent(), 0);
  EXPECT_EQ(m_doc->TakeDisplayText().size(), 200u);
  UdpReceiver::Datagram none;
  EXPECT_FALSE(m_receiver.ReceiveFor(none, 100));
}

TEST_F(QuillonDocTest, WithoutAFrameSizeNothingIsSentAndTheBufferClearsEvery1024Bytes) {
  OpenPty();
  ASSERT_TRUE(m_receiver.Open());
  m_doc->StartForwarding();  // frame size 0: the network port was never started
  Feed(Counting(1000));
  EXPECT_EQ(m_doc->GetFrameFill(), 1000);
  Feed(Counting(24));
  EXPECT_EQ(m_doc->GetFrameFill(), 0);
  Feed(Counting(1124));
  EXPECT_EQ(m_doc->GetFrameFill(), 100);
  EXPECT_EQ(m_doc->GetFramesSent(), 0);

  // A frame size lowered below the fill count behaves the same way.
  m_doc->SetNetworkSettings(FreeUdpPort(), "127.0.0.1", m_receiver.Port(), 64);
  Feed(Counting(923));
  EXPECT_EQ(m_doc->GetFrameFill(), 1023);
  Feed(Counting(65));
  EXPECT_EQ(m_doc->GetFrameFill(), 0);
  EXPECT_EQ(m_doc->GetFramesFailed(), 1u) << "then frames of the new size (no socket: counted as not sent)";
}

TEST_F(QuillonDocTest, DisplayFormShowsPrintableBytesAnd7FAndFullStopsOtherwise) {
  OpenPty();
  Feed({0x41, 0x0D, 0x0A, 0x7F, 0xB0});
  EXPECT_EQ(m_doc->TakeDisplayText(), std::string("A..\x7F."));
  EXPECT_EQ(m_doc->TakeDisplayText(), "") << "taken and emptied in one step";
  EXPECT_EQ(m_doc->GetDisplayBytes(), 5u);
  m_doc->ResetDisplayBytes();
  Feed({0x00, 0x1F, 0x20, 0x80, 0xFF});
  EXPECT_EQ(m_doc->TakeDisplayText(), ".. ..");
}

// Without a device (or with one that never ends a block) the staged text is
// handed over in pieces and the counts at the block end.
TEST_F(QuillonDocTest, DirectCallersSeeTextInPiecesAndCountsAtTheBlockEnd) {
  for (int i = 0; i < 5000; ++i) m_doc->OnSerialByte('a' + i % 26);
  EXPECT_EQ(m_doc->GetBytesReceived(), 0);
  std::string first = m_doc->TakeDisplayText();
  EXPECT_EQ(first.size(), 4096u);
  m_doc->OnSerialBlockEnd();
  EXPECT_EQ(m_doc->GetBytesReceived(), 5000);
  EXPECT_EQ(m_doc->GetDisplayBytes(), 5000u);
  std::string rest = m_doc->TakeDisplayText();
  ASSERT_EQ(rest.size(), 904u);
  EXPECT_EQ(first.substr(0, 3), "abc");
  EXPECT_EQ(rest[0], 'a' + 4096 % 26);
}

TEST_F(QuillonDocTest, HeadlessDocumentKeepsNoDisplayText) {
  OpenPty();
  m_doc->SetKeepDisplayText(false);
  Feed(Counting(100));
  EXPECT_EQ(m_doc->TakeDisplayText(), "");
  EXPECT_EQ(m_doc->GetBytesReceived(), 100);
}

TEST_F(QuillonDocTest, NewDocumentResetsCountersFlagsAndFrameButKeepsThePort) {
  OpenPty();
  StartNetwork(256);
  m_doc->StartForwarding();
  Feed(Counting(300));
  ASSERT_EQ(m_doc->GetFramesSent(), 1);
  ASSERT_EQ(m_doc->GetFrameFill(), 44);
  std::uint32_t displayBytes = m_doc->GetDisplayBytes();

  ASSERT_EQ(m_doc->OnNewDocument(), 1);
  EXPECT_EQ(m_doc->GetBytesReceived(), 0);
  EXPECT_EQ(m_doc->GetFramesSent(), 0);
  EXPECT_EQ(m_doc->GetFrameFill(), 0);
  EXPECT_EQ(m_doc->GetFrameSize(), 0);
  EXPECT_FALSE(m_doc->IsForwarding());
  EXPECT_EQ(m_doc->TakeDisplayText(), "");
  EXPECT_EQ(m_doc->GetDisplayBytes(), displayBytes) << "the pane's count is the view's";
  EXPECT_TRUE(m_doc->IsSerialOpen());

  // The next frame starts at the first byte after the reset.
  m_doc->SetNetworkSettings(m_localPort, "127.0.0.1", m_receiver.Port(), 128);
  m_doc->StartForwarding();
  Feed(Counting(128, 7));
  UdpReceiver::Datagram first, second;
  ASSERT_TRUE(m_receiver.Receive(first));
  ASSERT_TRUE(m_receiver.Receive(second));
  EXPECT_EQ(second.bytes, Counting(128, 7));
}

TEST_F(QuillonDocTest, LocalPortInUseShowsTheBindMessage) {
  ASSERT_TRUE(m_receiver.Open());
  UdpReceiver holder;  // holds 127.0.0.1:port; binding all interfaces then fails
  ASSERT_TRUE(holder.Open());
  m_doc->SetNetworkSettings(holder.Port(), "127.0.0.1", m_receiver.Port(), 128);
  EXPECT_EQ(m_doc->OpenNetPort(), 0);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0], kBindFailed);

  m_doc->SetNetworkSettings(FreeUdpPort(), "127.0.0.1", m_receiver.Port(), 128);
  EXPECT_EQ(m_doc->OpenNetPort(), 1);
  EXPECT_EQ(m_boxes.size(), 1u);
}

// Frames that cannot leave are counted apart, never as sent, with their cause;
// the listener hears of the failure and of the recovery once each.
TEST_F(QuillonDocTest, FramesThatCannotBeSentAreCountedAndReportedAsFailed) {
  struct Changes {
    std::mutex mutex;
    std::vector<int> errors;
    static void On(int error, void* context) {
      auto* self = static_cast<Changes*>(context);
      std::lock_guard<std::mutex> lock(self->mutex);
      self->errors.push_back(error);
    }
  } changes;
  m_doc->SetSendStateListener(&Changes::On, &changes);
  OpenPty();
  m_doc->SetNetworkSettings(FreeUdpPort(), "no.such.address", 9, 128);
  ASSERT_EQ(m_doc->OpenNetPort(), 1);
  m_doc->StartForwarding();
  Feed(Counting(256));
  Feed(Counting(128));
  EXPECT_EQ(m_doc->GetFramesSent(), 0u);
  EXPECT_EQ(m_doc->GetFramesFailed(), 3u);
  EXPECT_EQ(m_doc->GetSendErrorCause(), "目标地址无效");

  ASSERT_TRUE(m_receiver.Open());
  m_doc->SetNetworkSettings(m_doc->GetLocalPort(), "127.0.0.1", m_receiver.Port(), 128);
  Feed(Counting(128));
  EXPECT_EQ(m_doc->GetFramesSent(), 1u);
  EXPECT_EQ(m_doc->GetFramesFailed(), 3u);
  EXPECT_EQ(m_doc->GetSendErrorCause(), "");
  {
    std::lock_guard<std::mutex> lock(changes.mutex);
    EXPECT_EQ(changes.errors, std::vector<int>({EDESTADDRREQ, 0}));
  }
  UdpReceiver::Datagram got;
  ASSERT_TRUE(m_receiver.Receive(got));
  m_doc->CloseSerial();  // the reader is gone: the frame buffer is ours to use
  m_doc->SetNetworkSettings(m_doc->GetLocalPort(), "no.such.address", 9, 128);
  EXPECT_EQ(m_doc->SendFrame(), 0);

  ASSERT_TRUE(m_receiver.Open());
  m_doc->SetNetworkSettings(m_doc->GetLocalPort(), "127.0.0.1", m_receiver.Port(), 128);
  EXPECT_EQ(m_doc->SendFrame(), 1);
  m_doc->SetNetworkSettings(m_doc->GetLocalPort(), "127.0.0.1", m_receiver.Port(), 4096);
  EXPECT_EQ(m_doc->SendFrame(), 0) << "never more than the frame buffer";
}

// The frame size changes while bytes stream in: every datagram still holds
// exactly the bytes collected for it, never a tail of zeros or old bytes.
// With the idle flush on, the partial frame leaves when the port hangs up
// (before the loss is reported, not after the outage) and when it is closed.
TEST_F(QuillonDocTest, WithTheIdleFlushTheTailLeavesAtAHangUpAndAtClose) {
  PtyPair second;
  OPEN_PTY_OR_SKIP(second);
  const std::string link = m_tempDir / "ttyUSB0";
  ASSERT_TRUE(PointLink(link, m_pty.path));
  m_doc->SetIdleFlush(10000);  // longer than the test: only the hang-up and the close send
  ASSERT_EQ(m_doc->OpenSerial(SerialSettings(link)), 1);
  StartNetwork(256);
  m_doc->StartForwarding();
  Feed(Counting(100));
  m_pty.Unplug();
  UdpReceiver::Datagram got;
  ASSERT_TRUE(m_receiver.Receive(got));
  EXPECT_EQ(got.bytes, Counting(100));
  ASSERT_TRUE(WaitUntil([&] { return m_doc->IsPortLost(); }));

  ASSERT_TRUE(PointLink(link, second.path));
  ASSERT_TRUE(WaitUntil([&] { return !m_doc->IsPortLost(); }));
  ASSERT_TRUE(second.WriteMaster(Counting(30, 7)));
  ASSERT_TRUE(WaitUntil([&] { return m_doc->GetBytesReceived() == 130; }));
  m_doc->CloseSerial();
  ASSERT_TRUE(m_receiver.Receive(got));
  EXPECT_EQ(got.bytes, Counting(30, 7));
  EXPECT_EQ(m_doc->GetFramesSent(), 2u);
}

TEST_F(QuillonDocTest, FramesKeepTheirSizeWhileTheSettingsChange) {
  OpenPty();
  StartNetwork(128);
  m_doc->StartForwarding();
  constexpr int kChunks = 400;
  std::vector<std::uint8_t> chunk(256);
  for (int i = 0; i < 256; ++i) chunk[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i);
  std::atomic<bool> written{false};
  std::thread writer([&] {
    for (int round = 0; round < kChunks; ++round) {
      if (!m_pty.WriteMaster(chunk)) break;
    }
    written = true;
  });
  // Switch back and forth for as long as bytes pour in.
  for (int change = 0; !written.load() || change < 2; ++change) {
    m_doc->SetNetworkSettings(m_localPort, "127.0.0.1", m_receiver.Port(), change % 2 ? 128 : 256);
    std::this_thread::yield();
  }
  writer.join();
  // With the size settled, 2048 more bytes give at least one more frame.
  for (int round = 0; round < 8; ++round) ASSERT_TRUE(m_pty.WriteMaster(chunk));
  ASSERT_TRUE(WaitUntil([&] { return m_doc->GetBytesReceived() == (kChunks + 8) * 256; }));

  int datagrams = 0;
  UdpReceiver::Datagram got;
  while (m_receiver.ReceiveFor(got, 200)) {
    ++datagrams;
    ASSERT_TRUE(got.bytes.size() == 128 || got.bytes.size() == 256) << got.bytes.size();
    for (size_t i = 1; i < got.bytes.size(); ++i) {
      ASSERT_EQ(got.bytes[i], static_cast<std::uint8_t>(got.bytes[i - 1] + 1)) << "datagram " << datagrams;
    }
  }
  EXPECT_GT(datagrams, 0);
}

// The network port restarts again and again while bytes pour in: every
// frame counted reaches the receiver whole, in stream order, from the local
// port, through the old socket or the new one and never through neither.
TEST_F(QuillonDocTest, RestartingTheNetworkPortUnderAFloodLosesNoFrame) {
  OpenPty();
  StartNetwork(128);
  m_doc->StartForwarding();
  std::vector<UdpReceiver::Datagram> got;
  std::atomic<bool> restarted{false}, received{false};
  std::thread receiver([&] {
    UdpReceiver::Datagram datagram;
    for (;;) {
      if (m_receiver.ReceiveFor(datagram, 100)) {
        got.push_back(datagram);
      } else if (received.load()) {
        break;
      }
    }
  });
  int chunks = 0;
  std::thread writer([&] {
    const std::vector<std::uint8_t> chunk = Counting(256, 0);
    while (!restarted.load() && m_pty.WriteMaster(chunk)) ++chunks;
  });
  for (int restart = 0; restart < 20; ++restart) EXPECT_EQ(m_doc->OpenNetPort(), 1);
  restarted = true;
  writer.join();
  ASSERT_TRUE(WaitUntil([&] { return m_doc->GetBytesReceived() == static_cast<std::uint64_t>(chunks) * 256; }));
  received = true;
  receiver.join();

  EXPECT_EQ(m_doc->GetFramesSent(), chunks * 2);
  ASSERT_EQ(static_cast<int>(got.size()), m_doc->GetFramesSent());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].bytes, Counting(128, i % 2 ? 128 : 0)) << "datagram " << i;
    ASSERT_EQ(got[i].fromPort, m_localPort) << "datagram " << i;
  }
}

// Open and close the port while bytes pour in: once CloseSerial returns no
// sink call may run (the sanitizer builds check the reader's state is ours).
TEST_F(QuillonDocTest, ClosingWhileBytesStreamLeavesNoSinkCallRunning) {
  StartNetwork(256);
  m_doc->StartForwarding();
  int flags = fcntl(m_pty.master, F_GETFL);
  fcntl(m_pty.master, F_SETFL, flags | O_NONBLOCK);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::vector<std::uint8_t> chunk = Counting(512);
    while (!stop.load()) {
      if (write(m_pty.master, chunk.data(), chunk.size()) < 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
  });

  const CParameters settings = SerialSettings(m_pty.path, "460800");
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(m_doc->OpenSerial(settings), 1);
    const std::uint64_t before = m_doc->GetBytesReceived();
    WaitUntil([&] { return m_doc->GetBytesReceived() > before; });
    m_doc->CloseSerial();
    EXPECT_FALSE(m_doc->IsSerialOpen());
    // With the reader gone these are plain reads and writes of its state.
    int received = m_doc->GetBytesReceived();
    m_doc->OnSerialBlockEnd();
    m_doc->OnSerialByte('x');
    m_doc->OnSerialBlockEnd();
    EXPECT_EQ(m_doc->GetBytesReceived(), received + 1);
    m_doc->TakeDisplayText();
  }
  stop = true;
  writer.join();
  EXPECT_GT(m_doc->GetFramesSent(), 0);
}

}  // namespace
