// Port names on Windows: COMn is \\.\COMn (so COM10 and above open), a
// "\\.\" name is used as it is, ports.ini maps names to either, read from
// a configuration folder whose name has Chinese characters.
#include "device/port_path.h"

#include <gtest/gtest.h>

#include <string>

#include "device/serial_open_error.h"
#include "platform/config_dir.h"
#include "support/config_dir_override.h"
#include "support/temp_folder.h"

TEST(Win32PortPath, ComNamesDeviceNamesAndPortsIni) {
  TempFolder base("ports");
  ASSERT_FALSE(base.path.empty());
  const std::string folder = base / "配置";
  ASSERT_TRUE(CreateDirectoryOneLevel(folder));
  ASSERT_TRUE(base.WriteFile("配置/ports.ini", "[Ports]\r\nGPS=com12\r\nCOM1=\\\\.\\COM7\r\nBAD=/dev/ttyS0\r\n"));
  ScopedConfigDir config(folder);

  EXPECT_EQ(SerialDevicePath("com3"), "\\\\.\\COM3");
  EXPECT_EQ(SerialDevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(SerialDevicePath("\\\\.\\COM12"), "\\\\.\\COM12");
  EXPECT_EQ(SerialDevicePath("gps"), "\\\\.\\COM12");
  EXPECT_EQ(SerialDevicePath("COM1"), "\\\\.\\COM7") << "an entry wins over the COM number";

  PortPathLookup lookup = LookUpSerialDevicePath("bad");
  EXPECT_EQ(lookup.error, MakeSysError(SysStep::kPortsEntry, EINVAL));
  EXPECT_EQ(lookup.file, folder + "/ports.ini");
  EXPECT_EQ(DescribeSerialOpenError({lookup.error.step, lookup.error.code, lookup.file}, Wording::kEnglish),
            "the device path given for this port in " + folder +
                "/ports.ini is not valid (it must be COMn or a device name starting with \\\\.\\)");

  lookup = LookUpSerialDevicePath("串口9");
  EXPECT_EQ(lookup.error, MakeSysError(SysStep::kName, 0));
  EXPECT_EQ(LookUpSerialDevicePath("COM0").error.step, SysStep::kName);
}
