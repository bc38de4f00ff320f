#include "device/port_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/text.h"
#include "support/temp_folder.h"
#include "support/watchdog.h"

namespace {

// A fake /sys and /dev: what the kernel and udev show for a USB adapter, an
// ACM modem without a serial number, two 8250 slots of which one has a UART,
// a virtual terminal, and a device whose node is missing.
class FakeTree {
 public:
  explicit FakeTree(const TempFolder& folder) : m_folder(folder) {
    Dir("sys/class/tty");
    Dir("dev/serial/by-id");
    Dir("sys/bus/usb-serial/drivers/ftdi_sio");
    Dir("sys/bus/usb/drivers/cdc_acm");
    Dir("sys/bus/platform/drivers/serial8250");
    Usb("usb1/1-1", "FTDI", "FT232R USB UART", "A50285BI");
    Tty("ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0", "usb-serial/drivers/ftdi_sio");
    Usb("usb1/1-2", "Arduino", "Uno", "");
    Tty("ttyACM0", "usb1/1-2/1-2:1.0", "usb/drivers/cdc_acm");
    Tty("ttyS0", "platform/serial8250", "platform/drivers/serial8250", "4");
    Tty("ttyS10", "platform/serial8250", "platform/drivers/serial8250", "4");
    Tty("ttyS1", "platform/serial8250", "platform/drivers/serial8250", "0");
    Tty("tty1", "", "");
    Tty("ttyUSB7", "usb1/1-1/1-1:1.1/ttyUSB7", "usb-serial/drivers/ftdi_sio", "", false);
    Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
  }

 private:
  void Dir(const std::string& path) {
    for (std::size_t slash = 0; slash != std::string::npos;) {
      slash = path.find('/', slash + 1);
      mkdir((m_folder / path.substr(0, slash)).c_str(), 0755);
    }
  }
  void Link(const std::string& path, const std::string& target) { symlink(target.c_str(), (m_folder / path).c_str()); }
  void Usb(const std::string& device, const char* maker, const char* product, const char* serial) {
    const std::string at = "sys/devices/" + device;
    Dir(at);
    m_folder.WriteFile(at + "/idVendor", "0403\n");
    m_folder.WriteFile(at + "/idProduct", "6001\n");
    m_folder.WriteFile(at + "/manufacturer", std::string(maker) + "\n");
    m_folder.WriteFile(at + "/product", std::string(product) + "\n");
    if (*serial) m_folder.WriteFile(at + "/serial", std::string(serial) + "\n");
  }
  void Tty(const std::string& name, const std::string& device, const std::string& driver, const char* type = "",
           bool node = true) {
    const std::string entry = "sys/class/tty/" + name;
    Dir(entry);
    if (!device.empty()) {
      Dir("sys/devices/" + device);
      Link(entry + "/device", m_folder / ("sys/devices/" + device));
      Link("sys/devices/" + device + "/driver", m_folder / ("sys/bus/" + driver));
    }
    if (*type) m_folder.WriteFile(entry + "/type", std::string(type) + "\n");
    if (node) m_folder.WriteFile("dev/" + name, "");
  }

  const TempFolder& m_folder;
};

}  // namespace

TEST(PortList, ListsDevicesWithTheirStableNamesAndUsbFacts) {
  TempFolder folder("ports");
  ASSERT_FALSE(folder.path.empty());
  FakeTree tree(folder);
  const std::vector<SerialPortInfo> ports = ListSerialPorts(folder / "sys", folder / "dev");
  ASSERT_EQ(ports.size(), 4u);
  EXPECT_EQ(ports[0].path, folder / "dev/ttyACM0");
  EXPECT_EQ(ports[0].byId, "");
  EXPECT_EQ(ports[0].Description(), "Arduino Uno");
  EXPECT_EQ(ports[1].path, folder / "dev/ttyS0");
  EXPECT_EQ(ports[1].Description(), "serial8250") << "no USB device: the driver";
  EXPECT_EQ(ports[2].path, folder / "dev/ttyS10") << "ttyS1 has no UART; ttyS10 after ttyS0";
  EXPECT_EQ(ports[3].path, folder / "dev/ttyUSB0");
  EXPECT_EQ(ports[3].byId, folder / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
  EXPECT_EQ(ports[3].maker, "FTDI");
  EXPECT_EQ(ports[3].Description(), "FTDI FT232R USB UART (A50285BI)");
  EXPECT_EQ(ports[3].driver, "ftdi_sio");

  EXPECT_TRUE(ListSerialPorts(folder / "nothing", folder / "dev").empty());
  EXPECT_EQ(SerialPortInfo().Description(), "-");
}

// A kernel-given name is reopened only for the same adapter: sysfs tells one
// from another by serial number, or by USB port without one.
TEST(PortList, ReopenRulesAndAdapterIdentity) {
  TempFolder folder("ports");
  ASSERT_FALSE(folder.path.empty());
  FakeTree tree(folder);
  const std::string sys = folder / "sys";
  EXPECT_EQ(SerialDeviceIdentity("/dev/ttyUSB0", sys), "0403:6001 serial A50285BI");
  EXPECT_EQ(SerialDeviceIdentity("/dev/ttyACM0", sys), "0403:6001 at 1-2");
  EXPECT_EQ(SerialDeviceIdentity("/dev/ttyS0", sys), "") << "no USB device behind it";
  EXPECT_EQ(SerialDeviceIdentity("/dev/ttyUSB9", sys), "") << "no such tty";
  folder.WriteFile("sys/devices/usb1/1-1/serial", "B7700001\n");  // another adapter of the same kind
  EXPECT_EQ(SerialDeviceIdentity("/dev/ttyUSB0", sys), "0403:6001 serial B7700001");

  EXPECT_EQ(ReopenRuleFor("/dev/pts/7"), SerialReopenRule::kNever);
  EXPECT_EQ(ReopenRuleFor("/dev/ttyUSB0"), SerialReopenRule::kSameDevice);
  EXPECT_EQ(ReopenRuleFor("/dev/ttyACM12"), SerialReopenRule::kSameDevice);
  EXPECT_EQ(ReopenRuleFor("/dev/ttyS0"), SerialReopenRule::kFollow);
  EXPECT_EQ(ReopenRuleFor("/dev/ttyUSB0x"), SerialReopenRule::kFollow);
  const std::string link = folder / "ttyUSB0";
  ASSERT_EQ(symlink("/dev/pts/7", link.c_str()), 0);
  EXPECT_EQ(ReopenRuleFor(link), SerialReopenRule::kFollow) << "a link is the user's own name";
}

// A tree that is not the kernel's: a FIFO where an attribute should be
// never blocks the listing, and a name with a line feed or an escape
// sequence comes out escaped, one line per device.
TEST(PortList, AHostileTreeNeitherBlocksNorBreaksLines) {
  TempFolder folder("ports");
  ASSERT_FALSE(folder.path.empty());
  FakeTree tree(folder);
  ASSERT_EQ(unlink((folder / "sys/devices/usb1/1-2/product").c_str()), 0);
  ASSERT_EQ(mkfifo((folder / "sys/devices/usb1/1-2/product").c_str(), 0600), 0);
  ASSERT_TRUE(folder.WriteFile("sys/devices/usb1/1-1/manufacturer", "Evil\x1b]0;owned\x07\n"));
  const std::string name = "ttyUSB\n1";
  ASSERT_EQ(mkdir((folder / ("sys/class/tty/" + name)).c_str(), 0755), 0);
  ASSERT_EQ(symlink((folder / "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0").c_str(),
                    (folder / ("sys/class/tty/" + name + "/device")).c_str()),
            0);
  ASSERT_TRUE(folder.WriteFile("dev/" + name, ""));

  std::vector<SerialPortInfo> ports;
  WithWatchdog("a FIFO in sysfs", [&] { ports = ListSerialPorts(folder / "sys", folder / "dev"); });
  ASSERT_EQ(ports.size(), 5u);
  EXPECT_EQ(ports[0].Description(), "Arduino") << "the FIFO reads as nothing";
  const SerialPortInfo& odd = ports[3];  // '\n' sorts before '0'
  EXPECT_EQ(odd.path, folder / "dev/ttyUSB\n1");
  EXPECT_EQ(EscapeControls(odd.path), folder / "dev/ttyUSB\\n1");
  EXPECT_EQ(EscapeControls(odd.Description()), "Evil\\x1B]0;owned\\x07 FT232R USB UART (A50285BI)");
  // C1 controls and broken UTF-8 too; other characters, a backslash doubled.
  EXPECT_EQ(EscapeControls("\xc2\x9b\xff\tA\\ \xe4\xb8\xb2"), "\\xC2\\x9B\\xFF\\tA\\\\ \xe4\xb8\xb2");
}
