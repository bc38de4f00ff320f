#include "device/port_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/config_dir_override.h"
#include "support/temp_folder.h"
#include "support/watchdog.h"

namespace {

class PortPath : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder.path.empty()); }
  TempFolder folder;
  ScopedConfigDir configDir{folder.path};
};

}  // namespace

TEST_F(PortPath, ComNamesWithoutAnEntryNameTheUartDevices) {
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("COM20"), "/dev/ttyS19");
  EXPECT_EQ(SerialDevicePath("com3"), "/dev/ttyS2");
  EXPECT_EQ(SerialDevicePath("CoM12"), "/dev/ttyS11");
  for (const char* none : {"", "COM", "COM0", "COM03", "COM1x", "COMX", "LPT1", "COM-1"})
    EXPECT_EQ(SerialDevicePath(none), "") << none;
}

TEST_F(PortPath, PortsIniMapsNamesWhateverTheirCase) {
  ASSERT_TRUE(folder.WriteFile("ports.ini",
                               "[Other]\r\nCOM3=/dev/wrong\r\n"
                               "[Ports]\r\ncom3 = /dev/ttyUSB0\r\nCOM4=\r\nLAB=/dev/ttyACM1\r\n"));
  EXPECT_EQ(SerialDevicePath("COM3"), "/dev/ttyUSB0");
  EXPECT_EQ(SerialDevicePath("com3"), "/dev/ttyUSB0");
  EXPECT_EQ(SerialDevicePath("lab"), "/dev/ttyACM1");
  EXPECT_EQ(SerialDevicePath("COM4"), "/dev/ttyS3");  // an empty entry maps nothing
  EXPECT_EQ(SerialDevicePath("COM5"), "/dev/ttyS4");
}

TEST_F(PortPath, APortsIniThatIsNoFileMapsNothingAndNeverBlocks) {
  ASSERT_EQ(mkfifo((folder / "ports.ini").c_str(), 0600), 0);
  WithWatchdog("a FIFO as ports.ini", [] { EXPECT_EQ(SerialDevicePath("COM3"), "/dev/ttyS2"); });
}

TEST_F(PortPath, APathIsUsedAsItIs) {
  ASSERT_TRUE(folder.WriteFile("ports.ini", "[Ports]\r\n/dev/ttyS0=/dev/other\r\n"));
  EXPECT_EQ(SerialDevicePath("/dev/pts/7"), "/dev/pts/7");
  EXPECT_EQ(SerialDevicePath("/dev/ttyS0"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");  // not upper-cased
}
