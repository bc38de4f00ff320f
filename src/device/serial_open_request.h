// What an open of a serial port asks for, checked before any device is
// touched: the four settings texts as line settings and the port's name as
// a device path (port_path.h). The same on every system; each engine then
// opens the path its own way. Any thread; reads ports.ini, nothing else
// blocks.
#pragma once

#include <string>

#include "device/serial_open_error.h"
#include "device/serial_settings.h"

// The line settings of the four texts and the device path of port; false
// with the cause in *error (kSettingsText, kName, kPortsFile, kPortsEntry).
bool ResolvePort(const std::string& port, const std::string& baud, const std::string& parity,
                 const std::string& dataBits, const std::string& stopBits, SerialLineSettings* settings,
                 std::string* path, SerialOpenError* error);
