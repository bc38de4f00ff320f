// The serial devices present on this machine, for the port list and
// `quillon-bridge --list-ports`. On Linux: every tty in sysfs that has a
// device behind it (USB adapters, ACM modems, on-chip UARTs, Bluetooth
// RFCOMM), with /dev/ttyS<n> only where the driver found a real UART, each
// with its stable name under /dev/serial/by-id and what sysfs says about the
// USB device it belongs to, read straight from sysfs and /dev so that a test
// can point both at a fake tree of its own (linux/port_list.cpp). On
// Windows: the ports in the registry's HARDWARE\DEVICEMAP\SERIALCOMM, by
// their COM names, with the names Device Manager shows for them
// (win32/port_list.cpp).
//
// Threads: any thread. Blocking: reads a few small sysfs files per device.
#pragma once

#include <string>
#include <vector>

// Texts are names as the program holds them (the file system's bytes on
// Linux, GBK on Windows).
struct SerialPortInfo {
  std::string path;      // "/dev/ttyUSB0"; "COM3" on Windows
  std::string byId;      // "/dev/serial/by-id/usb-...", or empty (always on Windows)
  std::string maker;     // the USB device's manufacturer, or empty
  std::string product;   // its product text (Windows: the device's friendly name), or empty
  std::string serial;    // its serial number, or empty
  std::string driver;    // the tty's driver ("ftdi_sio", "cdc_acm"; Windows: its service), or empty

  // maker, product and serial number as far as known ("FTDI FT232R USB UART
  // (A50285BI)"); the driver when there is nothing else; "-" without either.
  std::string Description() const;
};

// The devices in path order (ttyS2 before ttyS10, COM2 before COM10).
// sysRoot and devRoot stand for /sys and /dev; a device node must exist
// under devRoot to be listed. Windows reads its registry and ignores both.
std::vector<SerialPortInfo> ListSerialPorts(const std::string& sysRoot = "/sys",
                                            const std::string& devRoot = "/dev");

// Puts ports in that order.
void SortSerialPorts(std::vector<SerialPortInfo>* ports);

// What may be reopened at a lost port's path. A name the kernel hands out
// afresh is no identity: a pseudo-terminal's number goes to the next program
// that asks for one (kNever), and /dev/ttyUSBn or /dev/ttyACMn goes to
// whichever adapter is plugged in next (kSameDevice: only the adapter that
// was there). A symbolic link is a name the user chose (a by-id name, a udev
// rule's name, a path in ports.ini) and is followed, as is any fixed device
// such as an on-board UART (kFollow); a link to a pseudo-terminal only once
// it has been made again (the Linux engine's PtyLinkState). On Windows a COM name stays with its
// adapter (Windows gives an adapter its number by its serial number), so it
// is followed.
enum class SerialReopenRule { kFollow, kNever, kSameDevice };
SerialReopenRule ReopenRuleFor(const std::string& path);

// Tells one USB adapter from another: vendor, product and serial number, or
// vendor, product and the USB port it sits in when it has no serial number.
// Empty when sysfs has no USB device behind the path's tty (or no such tty),
// and on Windows, where the COM name already says it.
std::string SerialDeviceIdentity(const std::string& path, const std::string& sysRoot = "/sys");
