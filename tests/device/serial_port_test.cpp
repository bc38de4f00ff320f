#include "device/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "device/device_serial.h"
#include "platform/text.h"
#include "support/byte_collector.h"
#include "support/config_dir_override.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"
#include "support/thread_in_poll.h"
#include "support/wait.h"
#include "support/watchdog.h"

namespace {

// Collects what the reader delivers, per byte or per block.
using Collector = ByteCollector;

std::vector<std::uint8_t> AllByteValues(int rounds) {
  std::vector<std::uint8_t> data;
  for (int r = 0; r < rounds; ++r)
    for (int b = 0; b < 256; ++b) data.push_back(static_cast<std::uint8_t>(b));
  return data;
}

}  // namespace

class SerialPortDelivery : public testing::TestWithParam<bool> {};

// Per byte and per block alike: every value, in order, unchanged (no CR/LF
// mapping, no XON/XOFF, no echo, no parity marking of 0xFF).
TEST_P(SerialPortDelivery, EveryByteValueArrivesInOrderUnchanged) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.path, "115200", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  EXPECT_EQ(port.IsOpen(), 1);
  Collector collector;
  port.SetReceiveCallback(&Collector::OnByte, &collector, GetParam() ? &Collector::OnBlock : nullptr);

  const std::vector<std::uint8_t> sent = AllByteValues(64);
  ASSERT_TRUE(pty.WriteMaster(sent.data(), sent.size()));
  ASSERT_TRUE(collector.WaitFor(sent.size()));
  port.Close();
  EXPECT_EQ(port.IsOpen(), 0);
  std::lock_guard<std::mutex> lock(collector.mutex);
  EXPECT_EQ(collector.bytes, sent);
  EXPECT_TRUE(pty.ReadMaster(1, 50).empty()) << "nothing echoed back";
}

INSTANTIATE_TEST_SUITE_P(PerByteAndPerBlock, SerialPortDelivery, testing::Bool());

TEST(SerialPort, OpenIsExclusiveUntilClose) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort first;
  CSerialPort second;
  ASSERT_EQ(first.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  EXPECT_EQ(second.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0);
  EXPECT_EQ(second.IsOpen(), 0);
  // An open engine keeps its settings: "abc" is never looked at.
  EXPECT_EQ(first.Open(pty.path, "abc", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  first.Close();
  first.Close();  // nothing on a closed engine
  EXPECT_EQ(second.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  second.Close();
  EXPECT_EQ(first.Open(pty.path, "4800", "无", "8", "1", SERIAL_EVENT_MASK), 1) << "reopens after Close";
}

TEST(SerialPort, SettingsThatCannotBeAppliedLeaveThePortClosedAndFree) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  const char* bad[][3] = {{"abc", "8", "1"}, {"0", "8", "1"}, {"9600", "9", "1"}, {"9600", "8", "3"}};
  for (const auto& s : bad) {
    EXPECT_EQ(port.Open(pty.path, s[0], "无", s[1], s[2], SERIAL_EVENT_MASK), 0) << s[0] << s[1] << s[2];
    EXPECT_EQ(port.IsOpen(), 0);
  }
  EXPECT_EQ(port.Open("/nonexistent/tty", "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0);
  EXPECT_EQ(port.Open("/dev/null", "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0) << "not a terminal";
  EXPECT_EQ(port.Open("", "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0);
  CSerialPort other;
  EXPECT_EQ(other.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1) << "no failed open kept the port";
}

TEST(SerialPort, LowerCaseComNamesOpenThroughPortsIni) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  TempFolder folder;
  ASSERT_TRUE(folder.WriteFile("ports.ini", "[Ports]\r\nCOM7=" + pty.path + "\r\n"));
  ScopedConfigDir configDir(folder.path);
  CSerialPort port;
  EXPECT_EQ(port.Open("com7", "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  CSerialPort again;
  EXPECT_EQ(again.Open("COM7", "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0) << "the same device";
}

TEST(SerialPort, BytesBeforeACallbackIsSetAreReadAndDropped) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  auto queued = [&] {
    int n = -1;
    return ioctl(pty.slave, FIONREAD, &n) == 0 ? n : -1;
  };
  ASSERT_TRUE(pty.WriteMaster("EEEEE", 5));
  ASSERT_TRUE(WaitUntil([&] { return queued() == 0; })) << "the reader took them";
  // Every read of them has passed its wake-up already; the next wake-up
  // comes after they were delivered, to nobody.
  const std::uint32_t taken = port.GetReaderWakeups();
  ASSERT_TRUE(pty.WriteMaster("M", 1));
  ASSERT_TRUE(WaitUntil([&] { return port.GetReaderWakeups() > taken; }));

  Collector collector;
  port.SetReceiveCallback(&Collector::OnByte, &collector);
  ASSERT_TRUE(pty.WriteMaster("LLLL", 4));
  ASSERT_TRUE(collector.WaitFor(4));
  port.Close();
  const std::string got(collector.bytes.begin(), collector.bytes.end());
  EXPECT_TRUE(got == "LLLL" || got == "MLLLL") << got;  // the marker may race the callback
}

TEST(SerialPort, CloseReturnsWhileAWriterFloodsThePort) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.path, "460800", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  Collector collector;
  port.SetReceiveCallback(&Collector::OnByte, &collector, &Collector::OnBlock);
  ASSERT_EQ(fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK), 0);

  std::atomic<bool> stop{false};
  std::thread flood([&] {
    std::vector<std::uint8_t> chunk(4096, 0x55);
    while (!stop.load()) {
      if (write(pty.master, chunk.data(), chunk.size()) < 0) {
        pollfd fd = {pty.master, POLLOUT, 0};
        poll(&fd, 1, 10);
      }
    }
  });
  ASSERT_TRUE(collector.WaitFor(256 * 1024));
  WithWatchdog("Close", [&] { port.Close(); });
  EXPECT_EQ(port.IsOpen(), 0);
  stop.store(true);
  flood.join();
}

// A pseudo-terminal's number goes to the next program that asks for one: a
// port opened by that name is reported gone for good and never reopened, even
// when a new pseudo-terminal gets the same name.
TEST(SerialPort, APseudoTerminalThatHungUpIsNeverReopened) {
  PtyPair first;
  OPEN_PTY_OR_SKIP(first);
  CSerialPort port;
  std::atomic<int> state{-1};
  port.SetPortStateCallback([](int lost, void* context) { static_cast<std::atomic<int>*>(context)->store(lost); },
                            &state);
  ASSERT_EQ(port.Open(first.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  const std::string name = first.path;
  first.Unplug();
  ASSERT_TRUE(WaitUntil([&] { return port.IsLost() == 1; }));
  EXPECT_EQ(state.load(), SERIAL_PORT_GONE);
  EXPECT_EQ(port.GetLostState(), SERIAL_PORT_GONE);

  PtyPair other;  // usually handed the number just freed
  OPEN_PTY_OR_SKIP(other);
  // Bounded, to prove the port is NOT reopened: longer than the reopen spacing.
  if (other.path == name) WaitUntil([&] { return port.IsLost() != 1 || state.load() != SERIAL_PORT_GONE; }, 1500);
  EXPECT_EQ(port.IsLost(), 1);
  EXPECT_EQ(state.load(), SERIAL_PORT_GONE);
  EXPECT_TRUE(port.Write("x", 1).Failed());
  WithWatchdog("Close", [&] { port.Close(); });
}

// The adapter is pulled out and plugged in again under the same stable name:
// the reader reports the loss, sleeps meanwhile, reopens the path with the
// same settings and delivers into the same callback; Close works throughout.
TEST(SerialPort, AfterAHangUpThePortReopensAtTheSamePath) {
  TempFolder folder;
  PtyPair first;
  OPEN_PTY_OR_SKIP(first);
  const std::string link = folder / "ttyUSB0";
  ASSERT_TRUE(PointLink(link, first.path));
  CSerialPort port;
  struct States {
    std::mutex mutex;
    std::vector<int> seen;
    static void On(int lost, void* context) {
      auto* self = static_cast<States*>(context);
      std::lock_guard<std::mutex> lock(self->mutex);
      self->seen.push_back(lost);
    }
  } states;
  port.SetPortStateCallback(&States::On, &states);
  ASSERT_EQ(port.Open(link, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  Collector collector;
  port.SetReceiveCallback(&Collector::OnByte, &collector);
  ASSERT_TRUE(first.WriteMaster("ab", 2));
  ASSERT_TRUE(collector.WaitFor(2));

  first.Unplug();
  WaitUntil([&] { return port.IsLost() == 1; });
  ASSERT_EQ(port.IsLost(), 1);
  EXPECT_EQ(port.IsOpen(), 1) << "open until Close";
  EXPECT_EQ(port.Write("x", 1), (SysError{SysStep::kWrite, EIO})) << "nothing can be written to a line that hung up";
  const std::uint32_t before = port.GetReaderWakeups();
  // Bounded, to prove the reader does NOT spin: retries at most once a
  // second, plus whatever other ptys come and go.
  WaitUntil([&] { return port.GetReaderWakeups() - before >= 20u; }, 1500);
  EXPECT_LT(port.GetReaderWakeups() - before, 20u) << "the reader spins while the port is lost";

  // The lost pty's number goes to the next pty made, here one of another
  // "program": through the link that still names it, it is not taken. (The
  // other link is a change in the folder, so an attempt comes at once.)
  PtyPair foreign;
  OPEN_PTY_OR_SKIP(foreign);
  ASSERT_TRUE(PointLink(folder / "other", foreign.path));
  WaitUntil([&] { return port.IsLost() == 0; }, 2500);
  ASSERT_EQ(port.IsLost(), 1) << "took " << foreign.path << " through a link that still names the lost pty";

  PtyPair second;
  OPEN_PTY_OR_SKIP(second);
  ASSERT_TRUE(PointLink(link, second.path));
  WaitUntil([&] { return port.IsLost() == 0; });
  ASSERT_EQ(port.IsLost(), 0) << "not reopened";
  ASSERT_TRUE(second.WriteMaster("cd", 2));
  ASSERT_TRUE(collector.WaitFor(4));
  EXPECT_EQ(collector.bytes, std::vector<std::uint8_t>({'a', 'b', 'c', 'd'}));
  EXPECT_EQ(port.Write("ok", 2), SysError());
  EXPECT_EQ(second.ReadMaster(2, 2000), std::vector<std::uint8_t>({'o', 'k'}));
  {
    std::lock_guard<std::mutex> lock(states.mutex);
    EXPECT_EQ(states.seen, std::vector<int>({1, 0}));
  }

  second.Unplug();  // lost again, and Close ends the wait at once
  WaitUntil([&] { return port.IsLost() == 1; });
  WithWatchdog("Close", [&] { port.Close(); });
  EXPECT_EQ(port.IsOpen(), 0);
  EXPECT_EQ(port.IsLost(), 0);
}

// Each step that can fail keeps its own cause.
TEST(SerialPort, AFailedOpenSaysWhy) {
  TempFolder folder;
  CSerialPort port;
  EXPECT_EQ(port.Open(folder / "ttyUSB9", "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0);
  EXPECT_EQ(port.GetOpenError().step, SerialOpenStep::kOpen);
  EXPECT_NE(DescribeSerialOpenError(port.GetOpenError()).find("不存在"), std::string::npos);

  // A file that is no terminal is never opened for writing nor locked: a
  // lock someone holds on it is no reason.
  ASSERT_TRUE(folder.WriteFile("plain", "not a tty"));
  const int held = open((folder / "plain").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  EXPECT_EQ(port.Open(folder / "plain", "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0);
  EXPECT_NE(DescribeSerialOpenError(port.GetOpenError()).find("不是串口设备"), std::string::npos);
  close(held);

  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort holder;
  ASSERT_EQ(holder.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  EXPECT_EQ(port.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 0);
  EXPECT_NE(DescribeSerialOpenError(port.GetOpenError()).find("正被其他程序使用"), std::string::npos);

  // Permission denied: joining the device's group is advised only when that
  // group may read and write it and the user is not in it; otherwise the
  // cause names the owner.
  ASSERT_TRUE(folder.WriteFile("ttyOwned", ""));
  const std::string owned = folder / "ttyOwned";
  ASSERT_EQ(chmod(owned.c_str(), 0600), 0);
  const std::string ownerOnly = DescribeSerialOpenError({SerialOpenStep::kOpen, EACCES, owned});
  EXPECT_EQ(ownerOnly.find("dialout"), std::string::npos) << ownerOnly;
  EXPECT_EQ(ownerOnly.find("adduser"), std::string::npos) << ownerOnly;
  const passwd* me = getpwuid(geteuid());
  ASSERT_NE(me, nullptr);
  EXPECT_NE(ownerOnly.find(StrFormat("用户 %s", me->pw_name)), std::string::npos) << ownerOnly;
  const group* dialout = getgrnam("dialout");
  bool inDialout = dialout == nullptr;
  if (dialout != nullptr) {
    std::vector<gid_t> groups(static_cast<std::size_t>(getgroups(0, nullptr)) + 1);
    groups.resize(static_cast<std::size_t>(getgroups(static_cast<int>(groups.size()), groups.data())));
    inDialout = getegid() == dialout->gr_gid || std::find(groups.begin(), groups.end(), dialout->gr_gid) != groups.end();
  }
  if (!inDialout && chown(owned.c_str(), static_cast<uid_t>(-1), dialout->gr_gid) == 0) {
    ASSERT_EQ(chmod(owned.c_str(), 0660), 0);
    EXPECT_NE(DescribeSerialOpenError({SerialOpenStep::kOpen, EACCES, owned}).find("adduser $USER dialout"),
              std::string::npos);
  }
  EXPECT_EQ(DescribeSerialOpenError(SerialOpenError()), "");
  // Shortages are named as such, not as a fault of the port.
  const SerialOpenError noDescriptor{SerialOpenStep::kOpen, EMFILE, "/dev/ttyUSB0"};
  const SerialOpenError noThread{SerialOpenStep::kReader, EAGAIN, "/dev/ttyUSB0"};
  EXPECT_NE(DescribeSerialOpenError(noDescriptor).find("ulimit"), std::string::npos);
  EXPECT_NE(DescribeSerialOpenError(noThread).find("线程"), std::string::npos);
}

TEST(SerialPort, WritesReachThePeer) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  EXPECT_EQ(port.Write("x", 1), (SysError{SysStep::kWrite, EBADF})) << "closed";
  ASSERT_EQ(port.Open(pty.path, "115200", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  EXPECT_EQ(port.Write("AT\r\n", 4), SysError());
  const std::vector<std::uint8_t> block = AllByteValues(8);
  EXPECT_EQ(port.Write(block), SysError());
  EXPECT_EQ(port.Write(nullptr, 0), SysError());
  EXPECT_EQ(port.Write("x", -1), (SysError{SysStep::kWrite, EINVAL}));

  std::vector<std::uint8_t> want = {'A', 'T', '\r', '\n'};
  want.insert(want.end(), block.begin(), block.end());
  EXPECT_EQ(pty.ReadMaster(want.size(), 2000), want) << "raw output: no CR/LF mapping";
  port.Close();
  EXPECT_EQ(port.Write(block), (SysError{SysStep::kWrite, EBADF}));
}

TEST(SerialPort, AWriteToAPeerThatNeverReadsGivesUp) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  const std::vector<std::uint8_t> big(4 * 1024 * 1024, 'z');
  SysError result;
  WithWatchdog("Write", [&] { result = port.Write(big); });
  EXPECT_EQ(result, (SysError{SysStep::kWrite, ETIMEDOUT}));

  // Close ends a write that is waiting for room.
  std::atomic<bool> blocked{false};
  std::atomic<bool> returned{false};
  std::atomic<pid_t> writerId{0};
  std::thread writer([&] {
    writerId.store(gettid());
    blocked.store(port.Write(big).Failed());
    returned.store(true);
  });
  WaitUntil([&] { return returned.load() || (writerId.load() != 0 && ThreadWaitsInPoll(writerId.load())); });
  WithWatchdog("Close", [&] { port.Close(); });
  writer.join();
  EXPECT_TRUE(blocked.load());
}

TEST(SerialPort, ModemLinesOnADriverWithoutThem) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  int state = 7;
  EXPECT_EQ(port.SetRTS(1), 0);
  EXPECT_EQ(port.SetDTR(0), 0);
  EXPECT_EQ(port.GetCTS(&state), 0);
  EXPECT_EQ(state, 7);

  ASSERT_EQ(port.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  EXPECT_EQ(port.SetRTS(1), 1) << "reported done whatever the driver says";
  EXPECT_EQ(port.SetDTR(1), 1);
  EXPECT_EQ(port.SetRTS(0), 1);
  // A pseudo-terminal has no modem lines: nothing is read, nothing reported.
  EXPECT_EQ(port.GetCTS(&state), 0);
  EXPECT_EQ(port.GetDSR(&state), 0);
  EXPECT_EQ(port.GetRLSD(&state), 0);
  EXPECT_EQ(port.GetRING(&state), 0);
  EXPECT_EQ(state, 7);
  // Nor error counters: nothing to report, not a report of nothing lost.
  SerialErrorCounts counts;
  counts.frame = 9;
  EXPECT_EQ(port.GetErrorCounts(&counts), 0);
  EXPECT_EQ(counts.frame, 9u);
}

// The driver's losses are said when they grow, not per poll: growth within
// the interval is held back and then said with the totals, counts that stand
// still are not said again, growth is said at once when the port closes, and
// the interval holds across the tick's wrap.
TEST(SerialPort, DriverLossIsSaidWhenItGrowsAtMostOncePerInterval) {
  CSerialErrorNotice notice(5000);
  SerialErrorCounts counts;
  EXPECT_FALSE(notice.Due(counts, 0)) << "nothing lost, nothing said";
  counts.bufferOverrun = 4000;
  EXPECT_TRUE(notice.Due(counts, 1000));
  counts.overrun = 16;
  EXPECT_FALSE(notice.Due(counts, 2000));
  EXPECT_FALSE(notice.Due(counts, 5999));
  EXPECT_TRUE(notice.Due(counts, 6000)) << "the growth held back is said once the interval is over";
  EXPECT_EQ(counts.Dropped(), 4016u);
  counts.frame = 2;
  EXPECT_FALSE(notice.Due(counts, 6500));
  EXPECT_TRUE(notice.Due(counts, 6501, true)) << "closing: said at once, nothing goes unsaid";
  EXPECT_FALSE(notice.Due(counts, 60000));

  notice.Reset();
  counts = SerialErrorCounts();
  counts.parity = 1;
  EXPECT_TRUE(notice.Due(counts, 0xFFFFF000u));
  counts.frame = 1;
  EXPECT_FALSE(notice.Due(counts, 0x00000100u)) << "4352 ms after, across the wrap";
  EXPECT_TRUE(notice.Due(counts, 0x00000400u));
}

// The idle time-out runs once per quiet spell that follows a block: not
// before the first byte, not again until bytes come, not once removed.
TEST(SerialPort, IdleCallbackRunsOncePerQuietSpell) {
  struct IdleCollector : Collector {
    std::atomic<int> idles{0};
    static void OnIdle(void* context) { static_cast<IdleCollector*>(context)->idles.fetch_add(1); }
  };
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.path, "9600", "无", "8", "1", SERIAL_EVENT_MASK), 1);
  IdleCollector collector;
  port.SetReceiveCallback(&Collector::OnByte, static_cast<Collector*>(&collector));
  port.SetIdleCallback(&IdleCollector::OnIdle, 5);
  WaitUntil([&] { return collector.idles.load() != 0; }, 50);  // bounded: proves NO idle call comes
  EXPECT_EQ(collector.idles.load(), 0) << "no block yet";
  ASSERT_TRUE(pty.WriteMaster("a", 1));
  ASSERT_TRUE(WaitUntil([&] { return collector.idles.load() == 1; }));
  const std::uint32_t wakeups = port.GetReaderWakeups();
  // Bounded: proves NO second idle call and NO wake-up come.
  WaitUntil([&] { return collector.idles.load() != 1 || port.GetReaderWakeups() != wakeups; }, 100);
  EXPECT_EQ(collector.idles.load(), 1);
  EXPECT_EQ(port.GetReaderWakeups(), wakeups) << "a quiet port does not wake the reader";
  ASSERT_TRUE(pty.WriteMaster("bc", 2));
  ASSERT_TRUE(WaitUntil([&] { return collector.idles.load() == 2; }));

  port.SetIdleCallback(nullptr, 5);
  ASSERT_TRUE(pty.WriteMaster("d", 1));
  ASSERT_TRUE(collector.WaitFor(4));
  WaitUntil([&] { return collector.idles.load() != 2; }, 50);  // bounded: proves NO idle call comes
  EXPECT_EQ(collector.idles.load(), 2);
  port.Close();
}
