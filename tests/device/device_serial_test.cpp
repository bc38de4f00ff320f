#include "device/device_serial.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/byte_collector.h"
#include "support/config_dir_override.h"
#include "support/pty_pair.h"
#include "support/serial_settings.h"
#include "support/temp_folder.h"
#include "support/wait.h"
#include "support/watchdog.h"

namespace {

std::string Row(CDeviceSerial& device, const char* category, const char* row) {
  CParameters out;
  device.GetPresentation(out);
  std::string value = "<missing>";
  CParameters* rows = out.GetParameters(category);
  if (rows != nullptr) rows->GetString(row, value);
  return value;
}

std::string RunRow(CDeviceSerial& device, const char* row) { return Row(device, "运行参数", row); }

// 56000 baud: a speed only BOTHER can set, so every test here proves it.
CParameters Settings(const std::string& port, const char* parity = "无") {
  return SerialSettings(port, "56000", parity);
}

// What the document does with bytes: keep them, and count the blocks.
using Sink = ByteCollector;

std::uint32_t g_tick = 0;
std::uint32_t FakeTick() { return g_tick; }

}  // namespace

TEST(DeviceSerial, PresentsNineteenRowsWithTheirExactTexts) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CDeviceSerial device;
  CParameters settings = Settings(pty.path, "奇校验");
  settings.SetString("Name", "甲");
  settings.SetString("Remark", "r");
  ASSERT_EQ(device.Start(settings, nullptr), 1);
  int context = 0;
  device.SetDataSink([](unsigned int, void*) { return 0; }, &context);

  CParameters out;
  device.GetPresentation(out);
  ASSERT_EQ(out.GetSize(), 4);
  const struct {
    const char* category;
    std::vector<std::pair<const char*, const char*>> rows;
  } expected[] = {
      {"基本属性",
       {{"设备类型", "串口设备"}, {"名称", "甲"}, {"备注", "r"}, {"模拟设备", "否"},
        {"设备允许允许输出", "是"}, {"设备允许允许输入", "是"}, {"是否允许设备对象持久化", "是"}}},
      {"初始参数",
       {{"端口", pty.path.c_str()}, {"波特率", "56000"}, {"奇偶校验", "奇校验"}, {"数据位", "8"},
        {"停止位", "1"}}},
      {"运行参数",
       {{"共接收数据", "0字节"}, {"接收数据速率", "未测定(字节/秒)"}, {"共接收转发数据", "0字节"},
        {"接收放弃数据", "0字节"}, {"发送数据", "0字节"}, {"运行状态", "已运行"},
        {"数据源连接状态", "已连接"}}},
      {"其它参数", {}},
  };
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(out.ElementAt(c).GetName(), expected[c].category);
    CParameters* rows = out.GetParameters(expected[c].category);
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->GetSize(), static_cast<int>(expected[c].rows.size())) << expected[c].category;
    for (int r = 0; r < rows->GetSize(); ++r) {
      EXPECT_EQ(rows->ElementAt(r).GetName(), expected[c].rows[r].first);
      std::string value;
      EXPECT_EQ(rows->ElementAt(r).GetString(value), 1);
      EXPECT_EQ(value, expected[c].rows[r].second) << expected[c].rows[r].first;
    }
  }

  device.ClearDataSink();
  device.Stop(nullptr);
  EXPECT_EQ(RunRow(device, "运行状态"), "未运行");
  EXPECT_EQ(RunRow(device, "数据源连接状态"), "未连接");
}

TEST(DeviceSerial, CountsReceivedForwardedAndDiscardedBytes) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CDeviceSerial device;
  ASSERT_EQ(device.Start(Settings(pty.path), nullptr), 1);
  EXPECT_EQ(device.IsRunning(), 1);

  // No sink: counted as received, and discarded.
  const std::vector<std::uint8_t> dropped(300, 'd');
  ASSERT_TRUE(pty.WriteMaster(dropped.data(), dropped.size()));
  ASSERT_TRUE(WaitUntil([&] { return RunRow(device, "共接收数据") == "300字节"; }));
  EXPECT_EQ(RunRow(device, "接收放弃数据"), "300字节");
  EXPECT_EQ(RunRow(device, "共接收转发数据"), "0字节");

  Sink sink;
  device.SetDataSink(&Sink::OnByte, &sink);
  device.SetDataSinkBlockEnd(&Sink::OnBlockEnd);
  std::vector<std::uint8_t> sent;
  for (int i = 0; i < 2048; ++i) sent.push_back(static_cast<std::uint8_t>(i * 7));
  ASSERT_TRUE(pty.WriteMaster(sent.data(), sent.size()));
  ASSERT_TRUE(WaitUntil([&] { return sink.count.load() == sent.size(); }));
  EXPECT_EQ(RunRow(device, "共接收数据"), "2348字节");
  EXPECT_EQ(RunRow(device, "共接收转发数据"), "2048字节");
  EXPECT_EQ(RunRow(device, "接收放弃数据"), "300字节");
  device.ClearDataSink();
  {
    std::lock_guard<std::mutex> lock(sink.mutex);
    EXPECT_EQ(sink.bytes, sent);
    ASSERT_FALSE(sink.blockEnds.empty());
    EXPECT_EQ(sink.blockEnds.back(), sent.size()) << "a block end follows the last byte";
  }

  device.Stop(nullptr);
  EXPECT_EQ(device.IsRunning(), 0);
  EXPECT_EQ(RunRow(device, "共接收数据"), "0字节");
  EXPECT_EQ(RunRow(device, "共接收转发数据"), "0字节");
  EXPECT_EQ(RunRow(device, "接收放弃数据"), "0字节");
}

// The block path calls the sink once per byte in order, then the hook once.
TEST(DeviceSerial, ABlockReachesTheSinkBytewiseThenTheHookOnce) {
  CDeviceSerial device;
  Sink sink;
  const std::uint8_t block[] = {0x00, 0x7F, 0x80, 0xFF, 0x0D};
  CDeviceSerial::OnPortBlock(block, sizeof(block), &device);  // no sink: counted, no hook
  device.SetDataSinkBlockEnd(&Sink::OnBlockEnd);
  CDeviceSerial::OnPortBlock(block, sizeof(block), &device);
  EXPECT_TRUE(sink.blockEnds.empty()) << "no hook without a sink";

  device.SetDataSink(&Sink::OnByte, &sink);
  CDeviceSerial::OnPortBlock(block, sizeof(block), &device);
  CDeviceSerial::OnPortByte(0x141, &device);  // only the low 8 bits count
  EXPECT_EQ(sink.bytes, std::vector<std::uint8_t>({0x00, 0x7F, 0x80, 0xFF, 0x0D, 0x41}));
  EXPECT_EQ(sink.blockEnds, std::vector<std::size_t>({5, 6}));
  EXPECT_EQ(RunRow(device, "共接收数据"), "16字节");
  EXPECT_EQ(RunRow(device, "共接收转发数据"), "6字节");
  EXPECT_EQ(RunRow(device, "接收放弃数据"), "10字节");
}

TEST(DeviceSerial, ASinkThatClearsItselfGetsNoMoreOfItsBlock) {
  CDeviceSerial device;
  struct Self {
    CDeviceSerial* device;
    int calls = 0;
    int hooks = 0;
  } self{&device};
  device.SetDataSink(
      [](unsigned int, void* context) {
        auto* s = static_cast<Self*>(context);
        if (++s->calls == 2) s->device->ClearDataSink();
        return 0;
      },
      &self);
  device.SetDataSinkBlockEnd([](void* context) { ++static_cast<Self*>(context)->hooks; });
  const std::uint8_t block[] = {1, 2, 3, 4};
  CDeviceSerial::OnPortBlock(block, sizeof(block), &device);
  EXPECT_EQ(self.calls, 2);
  EXPECT_EQ(self.hooks, 0);
  EXPECT_EQ(RunRow(device, "共接收数据"), "4字节");
  EXPECT_EQ(RunRow(device, "共接收转发数据"), "2字节");
}

TEST(DeviceSerial, ClearDataSinkReturnsOnlyOnceNoSinkCallRuns) {
  CDeviceSerial device;
  struct Gate {
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
  } gate;
  device.SetDataSink(
      [](unsigned int, void* context) {
        auto* g = static_cast<Gate*>(context);
        g->inside.store(true);
        WaitUntil([g] { return g->release.load(); });
        return 0;
      },
      &gate);
  const std::uint8_t byte = 1;
  std::thread reader([&] { CDeviceSerial::OnPortBlock(&byte, 1, &device); });
  ASSERT_TRUE(WaitUntil([&] { return gate.inside.load(); }));
  std::atomic<bool> cleared{false};
  std::thread ui([&] {
    device.ClearDataSink();
    cleared.store(true);
  });
  WaitUntil([&] { return cleared.load(); }, 50);  // bounded: proves ClearDataSink does NOT return yet
  EXPECT_FALSE(cleared.load()) << "ClearDataSink returned while the sink ran";
  gate.release.store(true);
  ui.join();
  reader.join();
  EXPECT_TRUE(cleared.load());
  EXPECT_EQ(device.IsSinkConnected(), 0);
}

TEST(DeviceSerial, ReceiveRateOverTheIntervalBetweenPresentations) {
  CDeviceSerial device;
  device.SetTickSource(&FakeTick);
  const std::vector<std::uint8_t> bytes(500, 'r');

  g_tick = 1000;
  EXPECT_EQ(RunRow(device, "接收数据速率"), "未测定(字节/秒)");
  EXPECT_EQ(RunRow(device, "接收数据速率"), "未测定(字节/秒)") << "no time has passed yet";
  CDeviceSerial::OnPortBlock(bytes.data(), bytes.size(), &device);
  g_tick = 3000;
  EXPECT_EQ(RunRow(device, "接收数据速率"), "250.000(字节/秒)");

  // Same millisecond: the last rate again, and the interval stays open.
  CDeviceSerial::OnPortBlock(bytes.data(), 100, &device);
  EXPECT_EQ(RunRow(device, "接收数据速率"), "250.000(字节/秒)");
  g_tick = 4000;
  EXPECT_EQ(RunRow(device, "接收数据速率"), "100.000(字节/秒)");
  g_tick = 4400;
  EXPECT_EQ(RunRow(device, "接收数据速率"), "0.000(字节/秒)");

  // Across the wrap of the 32-bit tick count.
  g_tick = 0xFFFFFFFFu - 999u;
  RunRow(device, "接收数据速率");
  CDeviceSerial::OnPortBlock(bytes.data(), bytes.size(), &device);
  g_tick = 1000;
  EXPECT_EQ(RunRow(device, "接收数据速率"), "250.000(字节/秒)");

  // Stop starts the measurement over: time has passed, and still the first
  // presentation after it measures nothing.
  device.Stop(nullptr);
  g_tick = 1400;
  EXPECT_EQ(RunRow(device, "接收数据速率"), "未测定(字节/秒)");
  EXPECT_EQ(RunRow(device, "共接收数据"), "0字节");
  CDeviceSerial::OnPortBlock(bytes.data(), 50, &device);
  g_tick = 1900;
  EXPECT_EQ(RunRow(device, "接收数据速率"), "100.000(字节/秒)");
}

TEST(DeviceSerial, WritesCountWhatWasHandedToARunningPort) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CDeviceSerial device;
  EXPECT_EQ(device.WriteText("ABCDEF"), 0);
  EXPECT_EQ(device.WriteBytes({1, 2}), 0);
  EXPECT_EQ(RunRow(device, "发送数据"), "0字节") << "a stopped device counts nothing";

  ASSERT_EQ(device.Start(Settings(pty.path), nullptr), 1);
  EXPECT_EQ(device.WriteText("ABCDEF"), 1);
  EXPECT_EQ(device.WriteBytes({0x00, 0xFF}), 1);
  EXPECT_EQ(device.Write("\r\n", 2), 1);
  EXPECT_EQ(device.Write("x", -1), 0);
  EXPECT_EQ(RunRow(device, "发送数据"), "10字节");
  EXPECT_EQ(pty.ReadMaster(10, 2000),
            std::vector<std::uint8_t>({'A', 'B', 'C', 'D', 'E', 'F', 0x00, 0xFF, '\r', '\n'}));

}

// The adapter is pulled out: the device says so, refuses writes without
// counting them, and Stop returns at once; plugged in again under the same
// name, the port reopens into the same sink and the counters go on.
TEST(DeviceSerial, AHangUpIsReportedAndTheSamePathReopensIntoTheSameSink) {
  TempFolder folder;
  PtyPair first;
  OPEN_PTY_OR_SKIP(first);
  const std::string link = folder / "ttyACM0";
  ASSERT_TRUE(PointLink(link, first.path));
  CDeviceSerial device;
  std::atomic<int> reports{0};
  device.SetPortStateListener([](int, void* context) { ++*static_cast<std::atomic<int>*>(context); },
                              &reports);
  Sink sink;
  ASSERT_EQ(device.Start(Settings(link), nullptr), 1);
  device.SetDataSink(&Sink::OnByte, &sink);
  ASSERT_TRUE(first.WriteMaster("abc", 3));
  ASSERT_TRUE(WaitUntil([&] { return sink.count.load() == 3; }));
  EXPECT_EQ(device.WriteText("12"), 1);

  first.Unplug();
  ASSERT_TRUE(WaitUntil([&] { return device.IsPortLost() == 1; }));
  EXPECT_EQ(reports.load(), 1);
  EXPECT_EQ(device.IsRunning(), 1);
  EXPECT_EQ(device.WriteText("lost"), 0) << "nothing reaches a lost port";
  EXPECT_EQ(RunRow(device, "发送数据"), "2字节");

  PtyPair second;
  OPEN_PTY_OR_SKIP(second);
  ASSERT_TRUE(PointLink(link, second.path));
  ASSERT_TRUE(WaitUntil([&] { return device.IsPortLost() == 0; }));
  EXPECT_EQ(reports.load(), 2);
  ASSERT_TRUE(second.WriteMaster("de", 2));
  ASSERT_TRUE(WaitUntil([&] { return sink.count.load() == 5; }));
  EXPECT_EQ(sink.bytes, std::vector<std::uint8_t>({'a', 'b', 'c', 'd', 'e'}));
  EXPECT_EQ(RunRow(device, "共接收数据"), "5字节");
  EXPECT_EQ(device.WriteText("ok"), 1);
  EXPECT_EQ(RunRow(device, "发送数据"), "4字节");

  second.Unplug();
  ASSERT_TRUE(WaitUntil([&] { return device.IsPortLost() == 1; }));
  WithWatchdog("Stop while lost", [&] { device.Stop(nullptr); });
  EXPECT_EQ(device.IsRunning(), 0);
  EXPECT_EQ(device.IsPortLost(), 0);
  EXPECT_EQ(device.WriteText("after"), 0);
  EXPECT_EQ(RunRow(device, "发送数据"), "0字节");
}

TEST(DeviceSerial, ControlAndStatusLines) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CDeviceSerial device;
  CParameters none;
  CParameters rts;
  rts.SetInt("RTS", 1);
  CParameters both = rts;
  both.SetInt("DTR", 0);
  EXPECT_EQ(device.SetControlLines(none), 1);
  EXPECT_EQ(device.SetControlLines(rts), 0) << "stopped";

  CParameters lines;
  EXPECT_EQ(device.GetStatusLines(lines), 0);
  ASSERT_EQ(lines.GetSize(), 4);
  const char* names[] = {"CTS", "DSR", "RLSD", "RING"};
  for (int i = 0; i < 4; ++i) {
    int value = 0;
    EXPECT_EQ(lines.ElementAt(i).GetName(), names[i]);
    EXPECT_EQ(lines.GetInt(names[i], value), 1);
    EXPECT_EQ(value, 1) << names[i];
  }

  ASSERT_EQ(device.Start(Settings(pty.path), nullptr), 1);
  EXPECT_EQ(device.SetControlLines(both), 1);
  // A pseudo-terminal cannot report its lines: 0, and the values stay 1.
  CParameters running;
  EXPECT_EQ(device.GetStatusLines(running), 0);
  int cts = 0;
  EXPECT_EQ(running.GetInt("CTS", cts), 1);
  EXPECT_EQ(cts, 1);
}

TEST(DeviceSerial, AFailedStartLogsTheSettings) {
  TempFolder folder;
  ASSERT_TRUE(folder.WriteFile("ports.ini", "[Ports]\r\nCOM3=/nonexistent/ttyQ\r\n"));
  ScopedConfigDir configDir(folder.path);
  CDeviceSerial device;
  CMessageLog log;
  CParameters settings = Settings("COM3", "偶校验");
  settings.SetString("Baud", "9600");
  EXPECT_EQ(device.Start(settings, &log), 0);
  EXPECT_EQ(device.IsRunning(), 0);
  ASSERT_EQ(log.GetSize(), 1);
  std::string text;
  EXPECT_EQ(log.ElementAt(0).GetString(text), 1);
  EXPECT_EQ(text, "[串口设备] {} 串口打开错误[端口:COM3 波特率:9600 奇偶校验:偶校验 数据位:8 停止位:1]");
  EXPECT_EQ(device.GetOpenErrorCause(), "原因：设备 /nonexistent/ttyQ 不存在（适配器是否已插好？）");
  EXPECT_EQ(device.Start(nullptr), 0) << "no log is fine";
}

TEST(DeviceSerial, StartOnAStartedDeviceKeepsItsPort) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CDeviceSerial device;
  ASSERT_EQ(device.Start(Settings(pty.path), nullptr), 1);
  EXPECT_EQ(device.Start(nullptr), 1);
  CDeviceSerial other;
  EXPECT_EQ(other.Start(Settings(pty.path), nullptr), 0) << "the port stays held";
  device.Stop(nullptr);
  EXPECT_EQ(other.Start(Settings(pty.path), nullptr), 1) << "Stop released it";
}

// Stop(params, log) holds the device lock when it resets; a reader waiting for
// that lock must still finish its block and end, so Stop returns.
TEST(DeviceSerial, StopWhileTheReaderWaitsForTheDeviceLock) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  struct Device : CDeviceSerial {
    PtyPair* pty = nullptr;
    bool readerWaited = false;
    int SetStopParameters(const CParameters& params, CMessageLog* log) override {
      // Called with the device lock held: make the reader queue up behind it.
      pty->WriteMaster("!", 1);
      readerWaited = WaitUntil([&] { return m_delivering.load() == 1; });
      return CDeviceSerial::SetStopParameters(params, log);
    }
  } device;
  device.pty = &pty;
  Sink sink;
  ASSERT_EQ(device.Start(Settings(pty.path), nullptr), 1);
  device.SetDataSink(&Sink::OnByte, &sink);

  WithWatchdog("Stop", [&] { EXPECT_EQ(device.Stop(CParameters(), nullptr), 1); });
  EXPECT_TRUE(device.readerWaited);
  EXPECT_EQ(device.IsRunning(), 0);
  EXPECT_EQ(sink.bytes, std::vector<std::uint8_t>({'!'})) << "the waiting byte was delivered whole";
  EXPECT_EQ(RunRow(device, "共接收数据"), "0字节") << "counters zeroed after the reader ended";
  EXPECT_EQ(RunRow(device, "共接收转发数据"), "0字节");
  EXPECT_EQ(device.IsSinkConnected(), 1) << "Stop keeps the sink";
}

TEST(DeviceSerial, DestroyingAStreamingDeviceReturns) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  ASSERT_EQ(fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK), 0);
  Sink sink;
  auto device = std::make_unique<CDeviceSerial>();
  ASSERT_EQ(device->Start(Settings(pty.path), nullptr), 1);
  device->SetDataSink(&Sink::OnByte, &sink);
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    const std::vector<std::uint8_t> chunk(4096, 'f');
    while (!stop.load()) {
      if (write(pty.master, chunk.data(), chunk.size()) < 0) {
        pollfd fd = {pty.master, POLLOUT, 0};
        poll(&fd, 1, 10);
      }
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return sink.count.load() > 64 * 1024; }));
  WithWatchdog("the destructor", [&] { device.reset(); });
  stop.store(true);
  flood.join();
}
