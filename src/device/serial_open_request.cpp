#include "device/serial_open_request.h"

#include "device/port_path.h"

bool ResolvePort(const std::string& port, const std::string& baud, const std::string& parity,
                 const std::string& dataBits, const std::string& stopBits, SerialLineSettings* settings,
                 std::string* path, SerialOpenError* error) {
  if (!ParseSerialLineSettings(baud, parity, dataBits, stopBits, settings)) {
    *error = SerialOpenError{SerialOpenStep::kSettingsText, 0, port};
    return false;
  }
  const PortPathLookup lookup = LookUpSerialDevicePath(port);
  if (lookup.error.Failed()) {
    // The name itself, or ports.ini when it is what failed.
    const std::string& named = lookup.error.step == SysStep::kName ? port : lookup.file;
    *error = SerialOpenError{lookup.error.step, lookup.error.code, named};
    return false;
  }
  *path = lookup.path;
  return true;
}
