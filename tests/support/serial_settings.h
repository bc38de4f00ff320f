// The settings a test opens a serial port with: the given port, speed and
// parity, 8 data bits, 1 stop bit, as the main form would hand them over.
#pragma once

#include <string>

#include "device/device_serial.h"

inline CParameters SerialSettings(const std::string& port, const char* baud = "115200", const char* parity = "无") {
  return SerialStartParameters(port, baud, parity, "8", "1");
}
