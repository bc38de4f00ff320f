// quillon-bridge's command line. One table names every option once: the
// parser reads it, the usage text (--help) is built from it, and the man
// pages are checked against it by the tests. Nothing here prints or
// translates: the parser says what was wrong and main words it.
//
// Main thread; nothing blocks.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "bridge/start_defaults.h"

// What the command line asks for; what it leaves out keeps the defaults the
// window's form starts with.
struct BridgeOptions {
  std::string port = DEFAULT_PORT_NAME;
  std::string baud = DEFAULT_BAUD;
  std::string parity = DEFAULT_PARITY;  // GBK display name
  std::string dataBits = DEFAULT_DATA_BITS;
  std::string stopBits = DEFAULT_STOP_BITS;
  std::uint16_t localPort = DEFAULT_LOCAL_PORT;
  std::string targetIp;
  std::uint16_t targetPort = 0;
  int frameSize = DEFAULT_FRAME_SIZE;
  long statsSeconds = 0;
  long flushIdleMs = 0;
  std::string configDir;
  bool exitOnHangup = false;
  bool listPorts = false;
  bool help = false;
};

// One option. Its messages are English printf formats with at most one %s
// and are msgids of the catalogue (po/zh_CN.po): a change here needs the
// translation changed with it.
struct BridgeOption {
  const char* name;               // "--baud"
  const char* alias = nullptr;    // a short form the usage text leaves out
  const char* valueName = nullptr;  // "RATE"; null for a switch, which takes no value
  // Takes the value (empty for a switch) into options; false when it is refused.
  bool (*apply)(const std::string& value, BridgeOptions* options) = nullptr;
  const char* refused = nullptr;  // why a value was refused; %s is the value
  const char* missing = nullptr;  // set for a required option: said when it is absent
  bool ends = false;              // the rest of the command line is not looked at
  // Its lines in the usage text, after the column of names, wrapped by hand
  // to keep within 80 columns.
  const char* help = "";
};

// Every option, in the order the usage text lists them.
std::span<const BridgeOption> BridgeOptionTable();

// What ParseBridgeOptions found. error: null for a valid command line, else
// an English printf format (a msgid) whose %s, when it has one, is subject.
struct BridgeOptionsResult {
  BridgeOptions options;
  const char* error = nullptr;
  std::string subject;

  bool ok() const { return error == nullptr; }
};

// Options take their value as the next argument or after '=' (--baud=9600);
// a switch given with '=' is unknown. A name that is not an option is
// reported as unknown before a missing value is.
BridgeOptionsResult ParseBridgeOptions(int argc, const char* const* argv);

// The whole --help text in English. It is one msgid of the catalogue, so a
// change to any option's lines needs the translation changed with it.
const std::string& BridgeUsage();
