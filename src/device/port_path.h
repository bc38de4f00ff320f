// Which device file a port name opens. "COMn" is looked up in the [Ports]
// section of ports.ini in the configuration folder ("COM3=/dev/ttyUSB0");
// without an entry it is /dev/ttyS<n-1>. A name that begins with '/' is a
// device path and is used as it is. Other names are upper-cased first, so
// "com3" opens what "COM3" opens.
//
// Threads: any thread; reads ports.ini, nothing else blocks.
#pragma once

#include <string>

// The device path, or an empty text when the name names no device (an
// unknown name without an entry, "COM0", "COM03").
std::string SerialDevicePath(const std::string& portName);
