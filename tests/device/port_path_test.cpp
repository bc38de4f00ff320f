#include "device/port_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

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

// Read as empty, a ports.ini we cannot read would send COM3 to /dev/ttyS2,
// another device: it is an error that names the file, and never blocks.
TEST_F(PortPath, APortsIniThatCannotBeReadIsAnErrorAndNeverBlocks) {
  ASSERT_EQ(mkfifo((folder / "ports.ini").c_str(), 0600), 0);
  WithWatchdog("a FIFO as ports.ini", [&] {
    const PortPathLookup fifo = LookUpSerialDevicePath("COM3");
    EXPECT_EQ(fifo.error, (SysError{SysStep::kPortsFile, EINVAL}));
    EXPECT_EQ(fifo.file, folder / "ports.ini");
    EXPECT_EQ(fifo.path, "");
  });
  ASSERT_EQ(unlink((folder / "ports.ini").c_str()), 0);
  ASSERT_TRUE(folder.WriteFile("ports.ini", "[Ports]\r\nCOM3=/dev/ttyUSB9\r\n"));
  ASSERT_EQ(chmod((folder / "ports.ini").c_str(), 0), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(LookUpSerialDevicePath("COM3").error, (SysError{SysStep::kPortsFile, EACCES}));
  }
  EXPECT_NE(SerialDevicePath("COM3"), "/dev/ttyS2");
}

// An entry is used only as a whole absolute path: not relative to wherever
// the program started, not cut short at a NUL or at a buffer's end.
TEST_F(PortPath, AnEntryMustBeAWholeAbsolutePath) {
  const std::string tooLong = "/dev/" + std::string(4100, 'x');
  const std::string nul(1, '\0');
  ASSERT_TRUE(folder.WriteFile("ports.ini", "[Ports]\r\nCOM1=dev/ttyUSB0\r\nCOM2=/dev/ttyUSB1" + nul + "x\r\nCOM3=" +
                                                tooLong + "\r\nCOM4=" + tooLong.substr(0, 4095) + "\r\n"));
  for (const char* name : {"COM1", "COM2", "COM3"}) {
    const PortPathLookup lookup = LookUpSerialDevicePath(name);
    EXPECT_EQ(lookup.error.step, SysStep::kPortsEntry) << name;
    EXPECT_EQ(lookup.path, "") << name;
  }
  EXPECT_EQ(SerialDevicePath("COM4"), tooLong.substr(0, 4095));
}

TEST_F(PortPath, APathIsUsedAsItIs) {
  ASSERT_TRUE(folder.WriteFile("ports.ini", "[Ports]\r\n/dev/ttyS0=/dev/other\r\n"));
  EXPECT_EQ(SerialDevicePath("/dev/pts/7"), "/dev/pts/7");
  EXPECT_EQ(SerialDevicePath("/dev/ttyS0"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");  // not upper-cased
}
