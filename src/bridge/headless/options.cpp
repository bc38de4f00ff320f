#include "bridge/headless/options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <vector>

#include "bridge/quillon_doc.h"
#include "device/idle_flush.h"
#include "device/serial_settings.h"
#include "platform/text.h"

namespace {

// The GBK display name for a parity given as display name (UTF-8 on the
// command line) or as an English word; empty when it is neither.
std::string ParityDisplayName(const std::string& utf8) {
  std::string gbk = Utf8ToGbk(utf8);
  std::string lower = utf8;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const SerialParity& parity : SERIAL_PARITIES) {
    if (lower == parity.szWord || gbk == parity.szName) return parity.szName;
  }
  return "";
}

bool IsFrameSize(std::uint64_t bytes) {
  for (int size : FRAME_SIZES) {
    if (bytes == static_cast<std::uint64_t>(size)) return true;
  }
  return false;
}

// One number within [low, high] into *out.
template <class Number>
bool SetNumber(const std::string& value, std::uint64_t low, std::uint64_t high, Number* out) {
  std::uint64_t number = 0;
  if (!ParseDecimal(value, low, high, &number)) return false;
  *out = static_cast<Number>(number);
  return true;
}

bool SetPort(const std::string& value, BridgeOptions* options) {
  if (value.empty()) return false;
  options->port = value;
  return true;
}

bool SetBaud(const std::string& value, BridgeOptions* options) {
  std::uint32_t baud = 0;
  if (!ParseSerialBaud(value, &baud)) return false;
  options->baud = value;
  return true;
}

bool SetParity(const std::string& value, BridgeOptions* options) {
  options->parity = ParityDisplayName(value);
  return !options->parity.empty();
}

bool SetDataBits(const std::string& value, BridgeOptions* options) {
  int bits = 0;
  if (!ParseSerialDataBits(value, &bits)) return false;
  options->dataBits = value;
  return true;
}

bool SetStopBits(const std::string& value, BridgeOptions* options) {
  int bits = 0;
  if (!ParseSerialStopBits(value, &bits)) return false;
  options->stopBits = value;
  return true;
}

bool SetLocalPort(const std::string& value, BridgeOptions* options) {
  return SetNumber(value, 0, 65535, &options->localPort);
}

// IPv4 ADDRESS:PORT, the port from 1.
bool SetTarget(const std::string& value, BridgeOptions* options) {
  const std::size_t colon = value.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string address = value.substr(0, colon);
  in_addr parsed {};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
  if (!SetNumber(value.substr(colon + 1), 1, 65535, &options->targetPort)) return false;
  options->targetIp = address;
  return true;
}

bool SetFrame(const std::string& value, BridgeOptions* options) {
  std::uint64_t bytes = 0;
  if (!ParseDecimal(value, 1, FRAME_BUFFER_SIZE, &bytes) || !IsFrameSize(bytes)) return false;
  options->frameSize = static_cast<int>(bytes);
  return true;
}

bool SetFlushIdle(const std::string& value, BridgeOptions* options) {
  return SetNumber(value, IDLE_FLUSH_MIN_MS, IDLE_FLUSH_MAX_MS, &options->flushIdleMs);
}

bool SetStats(const std::string& value, BridgeOptions* options) {
  return SetNumber(value, 0, 86400, &options->statsSeconds);
}

bool SetConfigDir(const std::string& value, BridgeOptions* options) {
  if (value.empty()) return false;
  options->configDir = value;
  return true;
}

bool SetExitOnHangup(const std::string&, BridgeOptions* options) {
  options->exitOnHangup = true;
  return true;
}

bool SetListPorts(const std::string&, BridgeOptions* options) {
  options->listPorts = true;
  return true;
}

bool SetHelp(const std::string&, BridgeOptions* options) {
  options->help = true;
  return true;
}

constexpr BridgeOption kOptions[] = {
    {.name = "--port", .valueName = "NAME", .apply = &SetPort, .refused = "--port needs a port name",
     .help = "serial port: COM1 to COM20 (looked up in the [Ports]\n"
             "section of ports.ini in the configuration folder,\n"
             "else /dev/ttyS<n-1>) or a device path beginning\n"
             "with / (default COM1)"},
    {.name = "--baud", .valueName = "RATE", .apply = &SetBaud,
     .refused = "invalid --baud '%s' (a rate such as 115200)",
     .help = "baud rate, any rate the driver accepts (default 115200)"},
    {.name = "--parity", .valueName = "NAME", .apply = &SetParity,
     .refused = "invalid --parity '%s' (none, odd, even, mark or space)",
     .help = "none, odd, even, mark or space, or the window's\n"
             "Chinese names (default none)"},
    {.name = "--data", .valueName = "BITS", .apply = &SetDataBits, .refused = "invalid --data '%s' (5 to 8)",
     .help = "data bits, 5 to 8 (default 8)"},
    {.name = "--stop", .valueName = "BITS", .apply = &SetStopBits, .refused = "invalid --stop '%s' (1 or 2)",
     .help = "stop bits, 1 or 2 (default 1)"},
    {.name = "--local-port", .valueName = "PORT", .apply = &SetLocalPort,
     .refused = "invalid --local-port '%s' (0 to 65535)",
     .help = "local UDP port to bind on all interfaces, 1 to 65535,\n"
             "or 0 for any free port, printed once bound (default\n"
             "2000; every bridge on a machine needs its own)"},
    {.name = "--target", .valueName = "ADDR:PORT", .apply = &SetTarget,
     .refused = "invalid --target '%s' (IPv4 ADDRESS:PORT, such as 127.0.0.1:3000)",
     .missing = "--target ADDRESS:PORT is required",
     .help = "target IPv4 address and UDP port (required); a\n"
             "broadcast address is allowed"},
    {.name = "--frame", .valueName = "BYTES", .apply = &SetFrame,
     .refused = "invalid --frame '%s' (128, 256, 512 or 1024)",
     .help = "frame size: 128, 256, 512 or 1024 (default 256)"},
    {.name = "--flush-idle", .valueName = "MS", .apply = &SetFlushIdle,
     .refused = "invalid --flush-idle '%s' (milliseconds, 1 to 10000)",
     .help = "also send the bytes of a partial frame, as one\n"
             "shorter datagram, once no byte has arrived for MS\n"
             "milliseconds, 1 to 10000, and when the port hangs up\n"
             "or the bridge ends (default: never, only whole\n"
             "frames leave)"},
    {.name = "--stats", .valueName = "SECONDS", .apply = &SetStats,
     .refused = "invalid --stats '%s' (seconds, 0 to 86400)",
     .help = "print the bytes received, the frames sent, the\n"
             "frames not sent and what the serial driver dropped\n"
             "every SECONDS seconds; 0 never (default 0)"},
    {.name = "--config-dir", .valueName = "DIR", .apply = &SetConfigDir, .refused = "--config-dir needs a folder",
     .help = "configuration folder (default: ConfigFile beside\n"
             "the executable when it can be written there, else\n"
             "$XDG_CONFIG_HOME/quillon/ConfigFile, that is\n"
             "~/.config/quillon/ConfigFile)"},
    {.name = "--exit-on-hangup", .apply = &SetExitOnHangup,
     .help = "exit with status 3 when the serial port hangs up\n"
             "(adapter unplugged) instead of waiting for it to\n"
             "come back, so that a supervisor can restart it"},
    {.name = "--list-ports", .apply = &SetListPorts, .ends = true,
     .help = "print the serial devices present, one a line: path,\n"
             "name under /dev/serial/by-id (or -), description"},
    {.name = "--help", .alias = "-h", .apply = &SetHelp, .ends = true, .help = "show this text"},
};

// The usage text around the options.
constexpr char kUsageHead[] =
    "Usage: quillon-bridge --target ADDRESS:PORT [options]\n"
    "       quillon-bridge --list-ports\n"
    "\n"
    "Forwards every byte received on a serial port, in frames of exactly the\n"
    "frame size, one UDP datagram per frame with no header, from the local\n"
    "port to the target. Runs until SIGHUP, SIGINT or SIGTERM.\n"
    "\n";
constexpr char kUsageTail[] =
    "\n"
    "Options take their value as the next argument or after '=' (--baud=9600).\n"
    "When the serial port hangs up the bridge prints one line on standard error,\n"
    "reopens the port as soon as it is back (one more line) and goes on. Only\n"
    "the same device is taken back: a pseudo-terminal (/dev/pts/N) never, an\n"
    "adapter named /dev/ttyUSBn or /dev/ttyACMn only when it is the same adapter;\n"
    "a symbolic link (such as /dev/serial/by-id/...) is followed.\n"
    "When frames cannot be sent the bridge says why on standard error once,\n"
    "then at most every 10 seconds how many were not sent, and once more when\n"
    "sending works again; frames not sent are never counted as sent.\n"
    "Exit status: 0 after a signal, 1 when the serial port cannot be opened or\n"
    "the local port cannot be bound, 2 for an invalid command line, 3 after a\n"
    "hang-up with --exit-on-hangup.\n"
    "\n"
    "Example: quillon-bridge --port /dev/ttyUSB0 --baud 460800 \\\n"
    "             --target 127.0.0.1:3000 --frame 512 --stats 5\n";
// Where an option's help begins, and the indent of its name.
constexpr std::size_t kHelpColumn = 23;
constexpr char kNameIndent[] = "  ";

// The option named exactly name: a switch or one that takes a value.
const BridgeOption* Find(const std::string& name, bool takesValue) {
  for (const BridgeOption& option : kOptions) {
    if ((option.valueName != nullptr) != takesValue) continue;
    if (name == option.name || (option.alias != nullptr && name == option.alias)) return &option;
  }
  return nullptr;
}

BridgeOptionsResult Refuse(BridgeOptionsResult result, const char* error, std::string subject) {
  result.error = error;
  result.subject = std::move(subject);
  return result;
}

}  // namespace

std::span<const BridgeOption> BridgeOptionTable() { return kOptions; }

BridgeOptionsResult ParseBridgeOptions(int argc, const char* const* argv) {
  BridgeOptionsResult result;
  std::vector<const BridgeOption*> given;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (const BridgeOption* option = Find(arg, false)) {
      option->apply(std::string(), &result.options);
      if (option->ends) return result;
      given.push_back(option);
      continue;
    }
    if (arg.rfind("--", 0) != 0) return Refuse(std::move(result), "unexpected argument '%s'", arg);
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const BridgeOption* option = Find(name, true);
    if (option == nullptr) return Refuse(std::move(result), "unknown option '%s'", name);
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      return Refuse(std::move(result), "option %s needs a value", name);
    }
    if (!option->apply(value, &result.options)) return Refuse(std::move(result), option->refused, value);
    given.push_back(option);
  }
  for (const BridgeOption& option : kOptions) {
    if (option.missing != nullptr && std::find(given.begin(), given.end(), &option) == given.end()) {
      return Refuse(std::move(result), option.missing, std::string());
    }
  }
  return result;
}

const std::string& BridgeUsage() {
  static const std::string usage = [] {
    std::string text = kUsageHead;
    for (const BridgeOption& option : kOptions) {
      std::string names = std::string(kNameIndent) + option.name;
      if (option.valueName != nullptr) names += std::string(" ") + option.valueName;
      names.resize(kHelpColumn, ' ');
      const std::string indent(kHelpColumn, ' ');
      std::string help = option.help;
      for (std::size_t start = 0, end = 0; start <= help.size(); start = end + 1) {
        end = help.find('\n', start);
        if (end == std::string::npos) end = help.size();
        text += (start == 0 ? names : indent) + help.substr(start, end - start) + "\n";
      }
    }
    return text + kUsageTail;
  }();
  return usage;
}
