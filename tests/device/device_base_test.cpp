#include "device/device_base.h"

#include <gtest/gtest.h>

#include <string>

#include "device/device_serial.h"

namespace {

std::string Text(const CParameters& p, const std::string& name) {
  std::string out = "<missing>";
  p.GetString(name, out);
  return out;
}

CParameters Settings(const std::string& name) {
  CParameters p;
  p.SetString("Port", "COM2");
  p.SetString("Baud", "56000");
  if (!name.empty()) p.SetString("Name", name);
  return p;
}

int Sink(unsigned int byte, void* context) { return 0; }

}  // namespace

TEST(DeviceBase, NameAndRemarkLiveInTheStartParameters) {
  CDeviceBase device;
  EXPECT_EQ(device.GetName(), "");
  device.SetName("x");
  device.SetRemark("备注一");
  EXPECT_EQ(device.GetName(), "x");
  EXPECT_EQ(device.GetRemark(), "备注一");
  EXPECT_EQ(Text(device.GetStartParameters(), "Name"), "x");
  device.SetName("y");
  EXPECT_EQ(device.GetStartParameters().GetSize(), 2) << "replaced, not added";

  EXPECT_EQ(device.SetStartParameters(Settings(""), nullptr), 1);
  EXPECT_EQ(device.GetName(), "") << "a collection without Name drops it";
  EXPECT_EQ(device.GetRemark(), "");
  EXPECT_EQ(Text(device.GetStartParameters(), "Baud"), "56000");

  CParameters notText;
  notText.SetInt("Name", 5);
  device.SetStartParameters(notText, nullptr);
  EXPECT_EQ(device.GetName(), "") << "not a text item";
}

TEST(DeviceBase, DefaultsAreNeutral) {
  CDeviceBase device;
  CParameters lines;
  EXPECT_EQ(device.IsPersistent(), 1);
  EXPECT_EQ(device.CanOutput(), 1);
  EXPECT_EQ(device.CanInput(), 1);
  EXPECT_EQ(device.IsSimulated(), 0);
  EXPECT_EQ(device.IsRunning(), 0);
  EXPECT_EQ(device.Start(nullptr), 1);
  EXPECT_EQ(device.Start(Settings("n"), nullptr), 1);
  EXPECT_EQ(device.GetName(), "") << "the base's Start does not keep parameters";
  EXPECT_EQ(device.Stop(nullptr), 1);
  EXPECT_EQ(device.Stop(Settings("n"), nullptr), 1);
  EXPECT_EQ(device.SetControlLines(lines), 0);
  EXPECT_EQ(device.GetStatusLines(lines), 0);
  EXPECT_EQ(lines.GetSize(), 0);
  EXPECT_EQ(device.Write("ab", 2), 0);
  EXPECT_EQ(device.WriteText("ab"), 0);
  EXPECT_EQ(device.WriteBytes({1, 2}), 0);
  EXPECT_EQ(device.GetTypeName(), "");
  device.SetTypeName("串口设备");
  EXPECT_EQ(device.GetTypeName(), "串口设备");
}

TEST(DeviceBase, SinkRegistration) {
  CDeviceBase device;
  int context = 0;
  EXPECT_EQ(device.IsSinkConnected(), 0);
  device.SetDataSink(&Sink, &context);
  EXPECT_EQ(device.IsSinkConnected(), 1);
  EXPECT_EQ(device.GetDataSink(), &Sink);
  EXPECT_EQ(device.GetDataSinkContext(), &context);
  device.SetDataSinkBlockEnd([](void*) {});
  EXPECT_NE(device.GetDataSinkBlockEnd(), nullptr);
  device.ClearDataSink();
  EXPECT_EQ(device.IsSinkConnected(), 0);
  EXPECT_EQ(device.GetDataSinkContext(), nullptr);
  EXPECT_EQ(device.GetDataSinkBlockEnd(), nullptr) << "ClearDataSink clears the hook too";
  device.AttachDataSink(&Sink, nullptr);
  EXPECT_EQ(device.IsSinkConnected(), 1);
  device.SetDataSink(nullptr, &context);
  EXPECT_EQ(device.IsSinkConnected(), 0);
}

TEST(DeviceBase, PresentationAddsFourCategoriesOnceAndKeepsOtherItems) {
  CDeviceBase device;
  CParameters out;
  out.SetString("keep", "1");
  device.GetPresentation(out);
  device.GetPresentation(out);
  ASSERT_EQ(out.GetSize(), 5);
  const char* names[] = {"keep", "基本属性", "初始参数", "运行参数", "其它参数"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(out.ElementAt(i).GetName(), names[i]);
  for (int i = 1; i < 5; ++i) {
    CParameters* category = out.GetParameters(names[i]);
    ASSERT_NE(category, nullptr);
    EXPECT_EQ(category->GetSize(), 0) << names[i];
  }
}

TEST(MessageLog, NumbersItsKeysFromTheFirstNumber) {
  CMessageLog log("Msg", 5, "!");
  log.AddMessage("a");
  log.AddMessage("b");
  EXPECT_EQ(log.GetSize(), 2);
  EXPECT_EQ(Text(log, "Msg5!"), "a");
  EXPECT_EQ(Text(log, "Msg6!"), "b");
  EXPECT_EQ(log.m_nNext, 7);
  log.m_nNext = 5;
  log.AddMessage("c");
  EXPECT_EQ(log.GetSize(), 2) << "an existing key is replaced";
  EXPECT_EQ(Text(log, "Msg5!"), "c");
}

TEST(DeviceArchive, StoresTypeNameAndBothParameterTexts) {
  CDeviceSerial device;
  device.SetStartParameters(Settings("dev"), nullptr);
  CParameters stop;
  stop.SetInt("Delay", 3);
  device.SetStopParameters(stop, nullptr);

  CArchive out;
  device.Serialize(out);
  CArchive in(out.GetBuffer());
  EXPECT_EQ(in.ReadString(), "串口设备");
  EXPECT_EQ(in.ReadString(), device.GetStartParameters().ToString());
  EXPECT_EQ(in.ReadString(), stop.ToString());
  EXPECT_EQ(in.GetRemaining(), 0u);
}

TEST(DeviceArchive, ReadsBackWhateverTypeNameTheArchiveHolds) {
  CArchive out;
  out.WriteString("some other device");
  out.WriteString(Settings("back").ToString());
  CParameters stop;
  stop.SetString("Mode", "soft");
  out.WriteString(stop.ToString());

  CDeviceSerial device;
  CArchive in(out.GetBuffer());
  device.Serialize(in);
  EXPECT_EQ(device.GetName(), "back");
  EXPECT_EQ(device.GetBaud(), "56000");
  EXPECT_EQ(Text(device.GetStopParameters(), "Mode"), "soft");
  EXPECT_EQ(device.GetTypeName(), "串口设备") << "the type name is not loaded";
}

TEST(DeviceArchive, ATruncatedArchiveChangesNothing) {
  CArchive out;
  out.WriteString("串口设备");
  out.WriteString(Settings("new").ToString());
  CDeviceSerial device;
  device.SetName("old");
  CArchive in(out.GetBuffer());
  EXPECT_THROW(device.Serialize(in), CArchiveException);
  EXPECT_EQ(device.GetName(), "old");
}

TEST(DeviceArchive, ObjectRecordsNameTheClassWithSchemaTwo) {
  CDeviceSerial device;
  device.SetStartParameters(Settings("obj"), nullptr);
  CArchive out;
  out.WriteObject(&device);
  const std::vector<std::uint8_t>& bytes = out.GetBuffer();
  const std::string name = "CDeviceSerial";
  ASSERT_GT(bytes.size(), 6 + name.size());
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 2);  // schema 2, little-endian
  EXPECT_EQ(bytes[3], 0);
  EXPECT_EQ(bytes[4], name.size());
  EXPECT_EQ(bytes[5], 0);
  EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 6 + name.size()), name);

  CArchive in(out.GetBuffer());
  std::unique_ptr<CObject> loaded = in.ReadObject();
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetRuntimeClass(), RUNTIME_CLASS(CDeviceSerial));
  EXPECT_TRUE(loaded->IsKindOf(RUNTIME_CLASS(CDeviceBase)));
  auto* copy = static_cast<CDeviceSerial*>(loaded.get());
  EXPECT_EQ(copy->GetName(), "obj");
  EXPECT_EQ(copy->GetPort(), "COM2");

  CDeviceBase base;
  CArchive baseOut;
  baseOut.WriteObject(&base);
  CArchive baseIn(baseOut.GetBuffer());
  std::unique_ptr<CObject> loadedBase = baseIn.ReadObject();
  ASSERT_NE(loadedBase, nullptr);
  EXPECT_STREQ(loadedBase->GetRuntimeClass()->m_lpszClassName, "CDeviceBase");
  EXPECT_EQ(loadedBase->GetRuntimeClass()->m_wSchema, 2u);
  EXPECT_TRUE(loadedBase->GetRuntimeClass()->m_bVersionable);
}
