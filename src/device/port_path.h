// Which device file a port name opens. "COMn" is looked up in the [Ports]
// section of ports.ini in the configuration folder ("COM3=/dev/ttyUSB0");
// without an entry it is /dev/ttyS<n-1>. A name that begins with '/' is a
// device path and is used as it is. Other names are upper-cased first, so
// "com3" opens what "COM3" opens. On Windows the devices are \\.\COMn: a
// name that begins with "\\.\" is used as it is, an entry may be COMn or
// such a name ("GPS=COM12"), and COMn without an entry is \\.\COMn.
//
// A ports.ini that exists but cannot be read (no permission, not a regular
// file) is an error, never read as empty: that would open another port. An
// entry must be a whole absolute path (shorter than PATH_MAX, no NUL byte),
// on Windows a whole device name.
//
// Threads: any thread; reads ports.ini, nothing else blocks.
#pragma once

#include <string>

#include "platform/sys_error.h"

struct PortPathLookup {
  std::string path;  // the device path, when error is success
  // kName: an unknown name without an entry, "COM0", "COM03". kPortsFile:
  // ports.ini exists but could not be read (its error number). kPortsEntry:
  // its entry for the name is no whole absolute path (EINVAL).
  SysError error;
  std::string file;  // kPortsFile, kPortsEntry: the path of ports.ini
};

PortPathLookup LookUpSerialDevicePath(const std::string& portName);

// The device path, or an empty text when the lookup above fails.
std::string SerialDevicePath(const std::string& portName);

// What an entry of ports.ini must be, in the words of the cause of an
// invalid one (without brackets).
std::string PortsEntryRule(Wording wording);
