// The settings a test opens a serial port with: the given port, speed and
// parity, 8 data bits, 1 stop bit, as the main form would hand them over.
#pragma once

#include <string>

#include "params/parameters.h"

inline CParameters SerialSettings(const std::string& port, const char* baud = "115200", const char* parity = "无") {
  CParameters settings;
  settings.SetString("Port", port);
  settings.SetString("Baud", baud);
  settings.SetString("Parity", parity);
  settings.SetString("DataBit", "8");
  settings.SetString("StopBit", "1");
  return settings;
}
