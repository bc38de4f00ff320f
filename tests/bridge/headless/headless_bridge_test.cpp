// quillon-bridge as a process: on a pty, towards a receiver on 127.0.0.1.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bridge/headless/bridge_process.h"
#include "platform/text.h"
#include "support/only_loopback.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"
#include "support/udp_receiver.h"
#include "support/wait.h"

namespace {

// Generous: a loaded machine running sanitizer builds is slow to start.
constexpr int kWatchdogMs = 30000;

class HeadlessBridgeTest : public ::testing::Test {
 protected:
  // The bridge speaks the language of its locale: English here unless a
  // test asks for Chinese, whatever the developer's own locale is.
  void SetUp() override {
    ASSERT_FALSE(m_folder.path.empty());
    SetLanguage("C.UTF-8");
  }
  void TearDown() override { unsetenv("LC_ALL"); }
  static void SetLanguage(const char* locale) { setenv("LC_ALL", locale, 1); }

  // Runs the bridge with args and waits for it to end: its exit status and
  // what it wrote to standard error.
  int RunToEnd(const std::vector<std::string>& args, std::string* errors) {
    BridgeProcess bridge;
    if (!bridge.Start(QUILLON_BRIDGE_EXE, args)) return -2;
    int status = bridge.Wait(kWatchdogMs);
    *errors = bridge.ReadAllErrors();
    return status;
  }

  // Starts the bridge on the pty (or on port) towards the receiver and waits
  // until it forwards. A later bridge in the same test reuses both.
  void StartForwarding(BridgeProcess& bridge, std::vector<std::string> extra, std::string port = "") {
    if (port.empty()) {
      if (m_pty.master < 0 && !m_pty.Open()) GTEST_SKIP() << "no pseudo-terminal available";
      port = m_pty.path;
    }
    if (m_receiver.Fd() < 0) {
      ASSERT_TRUE(m_receiver.Open());
    }
    m_localPort = FreeUdpPort();
    std::vector<std::string> args = {"--port", port, "--target",
                                     "127.0.0.1:" + std::to_string(m_receiver.Port()), "--local-port",
                                     std::to_string(m_localPort), "--config-dir", m_configDir};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(bridge.Start(QUILLON_BRIDGE_EXE, args));
    std::string line;
    ASSERT_TRUE(bridge.ReadLine(line, kWatchdogMs)) << bridge.ReadAllErrors();
    EXPECT_NE(line.find("forwarding"), std::string::npos) << line;
  }

  TempFolder m_folder{"bridge"};
  const std::string m_configDir = m_folder.path;
  PtyPair m_pty;
  UdpReceiver m_receiver;
  std::uint16_t m_localPort = 0;
};

TEST_F(HeadlessBridgeTest, ForwardsExactFramesPrintsStatisticsAndStopsOnSigterm) {
  BridgeProcess bridge;
  StartForwarding(bridge, {"--frame", "128", "--stats", "1", "--parity", "even"});
  if (IsSkipped()) return;
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 13 + 5));
  ASSERT_TRUE(m_pty.WriteMaster(bytes));

  for (int frame = 0; frame < 2; ++frame) {
    UdpReceiver::Datagram got;
    ASSERT_TRUE(m_receiver.Receive(got));
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(bytes.begin() + frame * 128, bytes.begin() + frame * 128 + 128));
    EXPECT_EQ(got.fromPort, m_localPort);
  }

  const std::string received = "received 300 bytes";
  const std::string frames = "frames sent 2 ";
  std::string line;
  bool seen = false;
  while (!seen && bridge.ReadLine(line, kWatchdogMs)) {
    seen = line.find(received) != std::string::npos && line.find(frames) != std::string::npos;
  }
  EXPECT_TRUE(seen) << "last line: " << line;

  ASSERT_TRUE(bridge.Signal(SIGTERM));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
  UdpReceiver::Datagram extra;
  EXPECT_FALSE(m_receiver.ReceiveFor(extra, 50)) << "the 44 waiting bytes are never sent";
}

// A short sentence waits for the frame to fill; with --flush-idle it leaves
// alone once the line is quiet, and whole frames before it stay whole.
TEST_F(HeadlessBridgeTest, ShortSentencesWaitForTheFrameUnlessIdleFlushIsOn) {
  const std::string text = "$GPGGA,123519,4807.038,N,01131.000,E*47\r\n";
  const std::vector<std::uint8_t> sentence(text.begin(), text.end());
  UdpReceiver::Datagram got;
  {
    BridgeProcess bridge;
    StartForwarding(bridge, {"--frame", "128"});
    if (IsSkipped()) return;
    ASSERT_TRUE(m_pty.WriteMaster(sentence));
    EXPECT_FALSE(m_receiver.ReceiveFor(got, 300)) << "only whole frames leave";
    std::vector<std::uint8_t> rest(128 - sentence.size(), 0x55);
    ASSERT_TRUE(m_pty.WriteMaster(rest));
    ASSERT_TRUE(m_receiver.Receive(got));
    std::vector<std::uint8_t> frame = sentence;
    frame.insert(frame.end(), rest.begin(), rest.end());
    EXPECT_EQ(got.bytes, frame);
    ASSERT_TRUE(bridge.Signal(SIGTERM));
    EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
  }

  BridgeProcess bridge;
  StartForwarding(bridge, {"--frame", "128", "--flush-idle", "20", "--stats", "1"});
  ASSERT_TRUE(m_pty.WriteMaster(sentence));
  ASSERT_TRUE(m_receiver.Receive(got)) << "the sentence arrives once the line is quiet";
  EXPECT_EQ(got.bytes, sentence);
  EXPECT_EQ(got.fromPort, m_localPort);

  // 300 bytes at once: two whole frames, then the 44 left over by themselves.
  std::vector<std::uint8_t> burst;
  for (int i = 0; i < 300; ++i) burst.push_back(static_cast<std::uint8_t>(i));
  ASSERT_TRUE(m_pty.WriteMaster(burst));
  for (int start : {0, 128, 256}) {
    ASSERT_TRUE(m_receiver.Receive(got));
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(burst.begin() + start, burst.begin() + std::min(start + 128, 300)));
  }
  EXPECT_FALSE(m_receiver.ReceiveFor(got, 100));
  const std::string frames = "frames sent 4 ";
  std::string line;
  bool counted = false;
  while (!counted && bridge.ReadLine(line, kWatchdogMs)) counted = line.find(frames) != std::string::npos;
  EXPECT_TRUE(counted) << "a flushed sentence counts as a frame; last line: " << line;
  ASSERT_TRUE(bridge.Signal(SIGTERM));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
}

TEST_F(HeadlessBridgeTest, StopsCleanlyOnSigint) {
  BridgeProcess bridge;
  StartForwarding(bridge, {});
  if (IsSkipped()) return;
  ASSERT_TRUE(bridge.Signal(SIGINT));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
  EXPECT_EQ(bridge.ReadAllErrors(), "");
}

// Started with standard output closed, the port must not become descriptor 1:
// the status lines would go out on the serial line.
TEST_F(HeadlessBridgeTest, WithStandardOutputClosedNothingReachesThePort) {
  if (!m_pty.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  ASSERT_TRUE(m_receiver.Open());
  BridgeProcess bridge;
  ASSERT_TRUE(bridge.Start(QUILLON_BRIDGE_EXE,
                           {"--port", m_pty.path, "--target", "127.0.0.1:" + std::to_string(m_receiver.Port()),
                            "--local-port", std::to_string(FreeUdpPort()), "--frame", "128", "--stats", "1",
                            "--config-dir", m_configDir},
                           false));
  // No line says when it forwards: a frame that arrives does. Bytes written
  // before the port is open are flushed, and none may come back as echo.
  termios raw {};
  ASSERT_EQ(tcgetattr(m_pty.slave, &raw), 0);
  cfmakeraw(&raw);
  ASSERT_EQ(tcsetattr(m_pty.slave, TCSANOW, &raw), 0);
  UdpReceiver::Datagram got;
  bool wrote = true;
  const bool forwarding = WaitUntil(
      [&] {
        wrote = m_pty.WriteMaster(std::vector<std::uint8_t>(128, 0x55));
        return !wrote || m_receiver.ReceiveFor(got, 300);
      },
      kWatchdogMs);
  ASSERT_TRUE(wrote);
  ASSERT_TRUE(forwarding);
  ASSERT_TRUE(bridge.Signal(SIGTERM));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
  const std::vector<std::uint8_t> echoed = m_pty.ReadMaster(1, 100);
  EXPECT_EQ(std::string(echoed.begin(), echoed.end()), "");
}

// A reader of standard output that goes away (`| head -1`) costs one line
// on standard error, not the bridge; SIGHUP ends it as SIGTERM does, with
// the port closed and its exclusive flag cleared.
TEST_F(HeadlessBridgeTest, AClosedPipeIsNoStopAndSighupStopsCleanly) {
  BridgeProcess bridge;
  StartForwarding(bridge, {"--frame", "128", "--stats", "1"});
  if (IsSkipped()) return;
  bridge.CloseOutput();
  std::string line;
  ASSERT_TRUE(bridge.ReadErrorLine(line, kWatchdogMs)) << "alive after the next statistics line";
  EXPECT_NE(line.find("standard output"), std::string::npos) << line;
  ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>(128, 0x41)));
  UdpReceiver::Datagram got;
  EXPECT_TRUE(m_receiver.Receive(got)) << "still forwarding";
  int exclusive = 0;
  ASSERT_EQ(ioctl(m_pty.slave, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1) << "held while it runs";
  ASSERT_TRUE(bridge.Signal(SIGHUP));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
  ASSERT_EQ(ioctl(m_pty.slave, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0) << "released";
  EXPECT_EQ(bridge.ReadAllErrors(), "") << "said once";
}

TEST_F(HeadlessBridgeTest, InvalidCommandLinesGiveOneLineAndStatus2) {
  const std::vector<std::vector<std::string>> invalid = {
      {},
      {"--port", "COM1"},
      {"--target", "127.0.0.1"},
      {"--target", "1.2.3:3000"},
      {"--target", "127.0.0.1:0"},
      {"--target", "127.0.0.1:3000", "--frame", "100"},
      {"--target", "127.0.0.1:3000", "--parity", "sometimes"},
      {"--target", "127.0.0.1:3000", "--baud", "fast"},
      {"--target", "127.0.0.1:3000", "--baud", "0"},
      {"--target", "127.0.0.1:3000", "--data", "9"},
      {"--target", "127.0.0.1:3000", "--data", "05"},  // the device would refuse it
      {"--target", "127.0.0.1:3000", "--stop", "3"},
      {"--target", "127.0.0.1:3000", "--local-port", "70000"},
      {"--target", "127.0.0.1:3000", "--stats", "-1"},
      {"--target", "127.0.0.1:3000", "--stats"},
      {"--target", "127.0.0.1:3000", "--flush-idle", "0"},
      {"--target", "127.0.0.1:3000", "--flush-idle", "10001"},
      {"--target", "127.0.0.1:3000", "--colour", "blue"},
      {"--target", "127.0.0.1:3000", "stray"},
  };
  for (const auto& args : invalid) {
    std::string command;
    for (const auto& arg : args) command += " " + arg;
    std::string errors;
    EXPECT_EQ(RunToEnd(args, &errors), 2) << command;
    ASSERT_FALSE(errors.empty()) << command;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << command << ": " << errors;
  }
  // An unknown option is reported as such, also as the last argument.
  std::string errors;
  EXPECT_EQ(RunToEnd({"--target", "127.0.0.1:3000", "--bogus"}, &errors), 2);
  EXPECT_NE(errors.find("unknown option '--bogus'"), std::string::npos) << errors;
}

// In English, and in Chinese under a zh_* locale (from the catalogue).
TEST_F(HeadlessBridgeTest, HelpDescribesEveryOptionInTheLocalesLanguage) {
  for (const char* locale : {"C.UTF-8", "zh_CN.UTF-8"}) {
    SCOPED_TRACE(locale);
    SetLanguage(locale);
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(QUILLON_BRIDGE_EXE, {"--help"}));
    std::string text, line;
    while (bridge.ReadLine(line, kWatchdogMs)) text += line + "\n";
    EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
    for (const char* option : {"--port", "--baud", "--parity", "--data", "--stop", "--local-port", "--target",
                               "--frame", "--flush-idle", "--stats", "--config-dir", "--exit-on-hangup",
                               "--list-ports", "--help"}) {
      EXPECT_NE(text.find(option), std::string::npos) << option;
    }
    const bool chinese = std::string(locale) != "C.UTF-8";
    EXPECT_EQ(text.rfind(chinese ? GbkToUtf8("用法: ") : "Usage: ", 0), 0u) << text;
    EXPECT_EQ(text.find(GbkToUtf8("奇校验")) != std::string::npos, chinese) << "the window's parity names";
  }
}

// Chinese: the program's own messages as the window shows them; English:
// the same facts in words.
TEST_F(HeadlessBridgeTest, OpenFailuresPrintTheProgramsMessagesAndStatus1) {
  std::string errors;
  const std::vector<std::string> missing = {"--port", m_configDir + "/no-such-tty", "--target", "127.0.0.1:3000",
                                            "--config-dir", m_configDir};
  EXPECT_EQ(RunToEnd(missing, &errors), 1);
  EXPECT_EQ(errors, "cannot open the serial port: " + m_configDir +
                        "/no-such-tty does not exist (is the adapter plugged in?)\n");
  SetLanguage("zh_CN.UTF-8");
  EXPECT_EQ(RunToEnd(missing, &errors), 1);
  EXPECT_EQ(errors, GbkToUtf8("串口打开错误 请查看该串口是否已被其他应用程序同时打开  原因：设备 ") + m_configDir +
                        GbkToUtf8("/no-such-tty 不存在（适配器是否已插好？）\n"));

  if (!m_pty.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  UdpReceiver holder;  // the local port is taken
  ASSERT_TRUE(holder.Open());
  EXPECT_EQ(RunToEnd({"--port", m_pty.path, "--target", "127.0.0.1:3000", "--local-port",
                      std::to_string(holder.Port()), "--config-dir", m_configDir},
                     &errors),
            1);
  EXPECT_EQ(errors, GbkToUtf8(StrFormat("网络端口绑定失败，请更换端口号！  原因：本地端口 %u 已被其他程序占用\n",
                                        static_cast<unsigned>(holder.Port()))));
  SetLanguage("C.UTF-8");
  EXPECT_EQ(RunToEnd({"--port", m_pty.path, "--target", "127.0.0.1:3000", "--local-port",
                      std::to_string(holder.Port()), "--config-dir", m_configDir},
                     &errors),
            1);
  EXPECT_EQ(errors, StrFormat("cannot bind local port %u: in use by another program\n",
                              static_cast<unsigned>(holder.Port())));
}

// The adapter is pulled out mid-frame and plugged in again under its stable
// name: one line each on standard error, and the frames that follow are
// exact, the partial one completed by the bytes after the reopen.
TEST_F(HeadlessBridgeTest, SurvivesUnplugAndReplugWithExactFramesAndCounters) {
  PtyPair first, second;
  if (!first.Open() || !second.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  const std::string link = m_folder / "ttyUSB0";
  ASSERT_TRUE(PointLink(link, first.path));
  BridgeProcess bridge;
  StartForwarding(bridge, {"--frame", "128", "--stats", "1"}, link);
  std::string line;
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 384; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  ASSERT_TRUE(first.WriteMaster(bytes.data(), 200));
  UdpReceiver::Datagram got;
  ASSERT_TRUE(m_receiver.Receive(got));
  EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 128));

  first.Unplug();
  ASSERT_TRUE(bridge.ReadErrorLine(line, kWatchdogMs));
  EXPECT_NE(line.find("lost"), std::string::npos) << line;
  ASSERT_TRUE(PointLink(link, second.path));
  ASSERT_TRUE(bridge.ReadErrorLine(line, kWatchdogMs));
  EXPECT_NE(line.find("back"), std::string::npos) << line;

  ASSERT_TRUE(second.WriteMaster(bytes.data() + 200, 184));
  for (int frame = 1; frame < 3; ++frame) {
    ASSERT_TRUE(m_receiver.Receive(got));
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(bytes.begin() + frame * 128, bytes.begin() + frame * 128 + 128));
  }
  const std::string counters = "received 384 bytes";
  const std::string frames = "frames sent 3 ";
  bool seen = false;
  while (!seen && bridge.ReadLine(line, kWatchdogMs)) {
    seen = line.find(counters) != std::string::npos && line.find(frames) != std::string::npos;
  }
  EXPECT_TRUE(seen) << "last line: " << line;
  ASSERT_TRUE(bridge.Signal(SIGTERM));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
}

// A broadcast target delivers, and --local-port 0 binds a free port that the
// forwarding line names.
TEST_F(HeadlessBridgeTest, BroadcastTargetFromAnyFreeLocalPort) {
  if (!m_pty.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  UdpReceiver any;
  ASSERT_TRUE(any.Open(true));
  BridgeProcess bridge;
  ASSERT_TRUE(bridge.Start(QUILLON_BRIDGE_EXE, {"--port", m_pty.path, "--target",
                                                "127.255.255.255:" + std::to_string(any.Port()), "--local-port",
                                                "0", "--frame", "128", "--config-dir", m_configDir}));
  std::string line;
  ASSERT_TRUE(bridge.ReadLine(line, kWatchdogMs)) << bridge.ReadAllErrors();
  const std::size_t at = line.rfind("local port ");
  ASSERT_NE(at, std::string::npos) << line;
  const int local = std::stoi(line.substr(at + 11));
  EXPECT_GT(local, 0) << line;
  ASSERT_TRUE(m_pty.WriteMaster(std::string(128, 'g').data(), 128));
  UdpReceiver::Datagram got;
  ASSERT_TRUE(any.Receive(got));
  EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(128, 'g'));
  EXPECT_EQ(got.fromPort, local);
  ASSERT_TRUE(bridge.Signal(SIGTERM));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
  EXPECT_EQ(bridge.ReadAllErrors(), "");
}

// Frames that cannot leave are said once with their cause, counted apart in
// --stats and never as sent; with --flush-idle the partial frame leaves at
// SIGTERM instead of being dropped.
TEST_F(HeadlessBridgeTest, FailedSendsAreSaidAndTheTailLeavesAtTheEnd) {
  SKIP_UNLESS_ONLY_LOOPBACK();  // the limited broadcast has no route only here
  if (!m_pty.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  BridgeProcess failing;
  ASSERT_TRUE(failing.Start(QUILLON_BRIDGE_EXE, {"--port", m_pty.path, "--target", "255.255.255.255:3000",
                                                 "--local-port", std::to_string(FreeUdpPort()), "--frame", "128",
                                                 "--stats", "1", "--config-dir", m_configDir}));
  std::string line;
  ASSERT_TRUE(failing.ReadLine(line, kWatchdogMs)) << failing.ReadAllErrors();
  ASSERT_TRUE(m_pty.WriteMaster(std::string(256, 'f').data(), 256));
  ASSERT_TRUE(failing.ReadErrorLine(line, kWatchdogMs));
  EXPECT_EQ(line, "quillon-bridge: sending to 255.255.255.255:3000 fails: no route to the target network");
  const std::string counted = "frames sent 0  frames not sent 2";
  bool seen = false;
  while (!seen && failing.ReadLine(line, kWatchdogMs)) seen = line.find(counted) != std::string::npos;
  EXPECT_TRUE(seen) << "last line: " << line;
  ASSERT_TRUE(failing.Signal(SIGTERM));
  EXPECT_EQ(failing.Wait(kWatchdogMs), 0);
  EXPECT_EQ(failing.ReadAllErrors(), "") << "one line, not one per frame";

  BridgeProcess bridge;
  StartForwarding(bridge, {"--flush-idle", "10000", "--stats", "1"});
  if (IsSkipped()) return;
  ASSERT_TRUE(m_pty.WriteMaster(std::string(100, 't').data(), 100));
  const std::string received = "received 100 bytes";
  seen = false;
  while (!seen && bridge.ReadLine(line, kWatchdogMs)) seen = line.find(received) != std::string::npos;
  ASSERT_TRUE(seen) << "last line: " << line;
  ASSERT_TRUE(bridge.Signal(SIGTERM));
  UdpReceiver::Datagram got;
  ASSERT_TRUE(m_receiver.Receive(got));
  EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(100, 't'));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
}

// With not one descriptor to spare (`ulimit -n` at the edge), the watch on
// the device's folder takes the one the lost port gave back; the port must
// come back all the same.
TEST_F(HeadlessBridgeTest, ComesBackWithNoDescriptorToSpare) {
  PtyPair first, second;
  if (!first.Open() || !second.Open()) GTEST_SKIP() << "no pseudo-terminal available";
  const std::string link = m_folder / "ttyUSB0";
  ASSERT_TRUE(PointLink(link, first.path));
  BridgeProcess bridge;
  StartForwarding(bridge, {"--frame", "128"}, link);
  std::string line;
  // The limit at the lowest free number: no new descriptor can be had.
  std::vector<bool> used(1024, false);
  const std::string fds = "/proc/" + std::to_string(bridge.Pid()) + "/fd";
  DIR* dir = opendir(fds.c_str());
  ASSERT_NE(dir, nullptr);
  while (const dirent* entry = readdir(dir)) {
    const unsigned long fd = std::strtoul(entry->d_name, nullptr, 10);
    if (entry->d_name[0] != '.' && fd < used.size()) used[fd] = true;
  }
  closedir(dir);
  const rlim_t lowestFree = static_cast<rlim_t>(std::find(used.begin(), used.end(), false) - used.begin());
  rlimit before{};
  ASSERT_EQ(prlimit(bridge.Pid(), RLIMIT_NOFILE, nullptr, &before), 0);
  const rlimit none{lowestFree, before.rlim_max};
  ASSERT_EQ(prlimit(bridge.Pid(), RLIMIT_NOFILE, &none, nullptr), 0);

  first.Unplug();
  ASSERT_TRUE(bridge.ReadErrorLine(line, kWatchdogMs));
  EXPECT_NE(line.find("lost"), std::string::npos) << line;
  ASSERT_TRUE(PointLink(link, second.path));
  ASSERT_TRUE(bridge.ReadErrorLine(line, kWatchdogMs));
  EXPECT_NE(line.find("back"), std::string::npos) << line;
  ASSERT_TRUE(second.WriteMaster(std::vector<std::uint8_t>(128, 0x42)));
  UdpReceiver::Datagram got;
  EXPECT_TRUE(m_receiver.Receive(got));
  // Room again for what a sanitizer needs at exit.
  ASSERT_EQ(prlimit(bridge.Pid(), RLIMIT_NOFILE, &before, nullptr), 0);
  ASSERT_TRUE(bridge.Signal(SIGTERM));
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0) << bridge.ReadAllErrors();
}

// Whatever this machine has: status 0 and three tab-separated fields a line.
TEST_F(HeadlessBridgeTest, ListPortsPrintsOneLinePerDevice) {
  BridgeProcess bridge;
  ASSERT_TRUE(bridge.Start(QUILLON_BRIDGE_EXE, {"--list-ports"}));
  std::string line;
  while (bridge.ReadLine(line, kWatchdogMs)) {
    EXPECT_EQ(line.rfind("/dev/", 0), 0u) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
  }
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 0);
}

TEST_F(HeadlessBridgeTest, ExitOnHangupEndsWithStatus3) {
  BridgeProcess bridge;
  StartForwarding(bridge, {"--exit-on-hangup"});
  if (IsSkipped()) return;
  m_pty.Unplug();
  EXPECT_EQ(bridge.Wait(kWatchdogMs), 3);
  const std::string errors = bridge.ReadAllErrors();
  EXPECT_NE(errors.find("lost"), std::string::npos) << errors;
  EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "one line: " << errors;
}

}  // namespace
