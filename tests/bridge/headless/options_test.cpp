#include "bridge/headless/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/text.h"

namespace {

// What a command line comes to: the English line the bridge would print, or
// "" when it is valid.
std::string Outcome(const std::vector<std::string>& args, BridgeOptions* options = nullptr) {
  std::vector<const char*> argv = {"quillon-bridge"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  const BridgeOptionsResult result = ParseBridgeOptions(static_cast<int>(argv.size()), argv.data());
  if (options != nullptr) *options = result.options;
  return result.ok() ? std::string() : StrFormat(result.error, result.subject.c_str());
}

std::string Command(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += " " + arg;
  return text;
}

// Option names as the documents write them ("\-\-flush\-idle" in troff),
// each with whether it takes a value.
using Documented = std::map<std::string, bool>;

Documented FromTable() {
  Documented names;
  for (const BridgeOption& option : BridgeOptionTable()) names[option.name] = option.valueName != nullptr;
  return names;
}

// Every "--name" the usage text mentions anywhere.
std::vector<std::string> NamesIn(const std::string& text) {
  std::vector<std::string> names;
  for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
    std::size_t end = at + 2;
    while (end < text.size() && ((text[end] >= 'a' && text[end] <= 'z') || text[end] == '-')) ++end;
    names.push_back(text.substr(at, end - at));
  }
  return names;
}

// The options a man page describes: the tags of its ".TP" paragraphs that
// begin with "\-\-", ".BI" for one that takes a value, ".B" for a switch.
Documented FromManPage(const char* file) {
  Documented names;
  std::FILE* page = std::fopen((std::string(QUILLON_SOURCE_DIR) + "/packaging/" + file).c_str(), "r");
  if (page == nullptr) return names;
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, page)) > 0;) text.append(chunk, n);
  std::fclose(page);
  for (std::size_t at = text.find(".TP\n"); at != std::string::npos; at = text.find(".TP\n", at + 1)) {
    const std::size_t start = at + 4;
    std::string tag = text.substr(start, text.find('\n', start) - start);
    const bool takesValue = tag.rfind(".BI \\-\\-", 0) == 0;
    if (!takesValue && tag.rfind(".B \\-\\-", 0) != 0) continue;
    tag = tag.substr(tag.find(' ') + 1);
    std::string name;
    for (std::size_t i = 0; i < tag.size() && tag[i] != ' '; ++i) {
      if (tag[i] != '\\') name += tag[i];
    }
    names[name] = takesValue;
  }
  return names;
}

}  // namespace

TEST(BridgeOptions, ValidCommandLinesTakeEveryValueUpToTheEdges) {
  BridgeOptions options;
  ASSERT_EQ(Outcome({"--target", "127.0.0.1:1"}, &options), "");
  EXPECT_EQ(options.targetIp, "127.0.0.1");
  EXPECT_EQ(options.targetPort, 1);
  EXPECT_EQ(options.port, "COM1");
  EXPECT_EQ(options.parity, "无");
  EXPECT_EQ(options.localPort, 2000);
  EXPECT_EQ(options.frameSize, 256);

  ASSERT_EQ(Outcome({"--port=/dev/ttyUSB0", "--baud", "56000", "--parity", GbkToUtf8("奇校验"), "--data", "5",
                     "--stop=2", "--local-port", "0", "--target=255.255.255.255:65535", "--frame", "1024",
                     "--flush-idle", "10000", "--stats", "86400", "--config-dir", "/tmp/x", "--exit-on-hangup"},
                    &options),
            "");
  EXPECT_EQ(options.port, "/dev/ttyUSB0");
  EXPECT_EQ(options.baud, "56000");
  EXPECT_EQ(options.parity, "奇校验");
  EXPECT_EQ(options.dataBits, "5");
  EXPECT_EQ(options.stopBits, "2");
  EXPECT_EQ(options.localPort, 0);
  EXPECT_EQ(options.targetIp, "255.255.255.255");
  EXPECT_EQ(options.targetPort, 65535);
  EXPECT_EQ(options.frameSize, 1024);
  EXPECT_EQ(options.flushIdleMs, 10000);
  EXPECT_EQ(options.statsSeconds, 86400);
  EXPECT_EQ(options.configDir, "/tmp/x");
  EXPECT_TRUE(options.exitOnHangup);

  ASSERT_EQ(Outcome({"--parity", "SPACE", "--local-port", "65535", "--frame", "128", "--flush-idle", "1",
                     "--stats", "0", "--data", "8", "--stop", "1", "--target", "10.0.0.1:3000"},
                    &options),
            "");
  EXPECT_EQ(options.parity, "空格");
  EXPECT_EQ(options.localPort, 65535);
  EXPECT_EQ(options.frameSize, 128);
  EXPECT_EQ(options.flushIdleMs, 1);

  // --help and --list-ports answer at once: no target needed, nothing after
  // them looked at.
  ASSERT_EQ(Outcome({"--frame", "256", "-h", "--frame", "100"}, &options), "");
  EXPECT_TRUE(options.help);
  ASSERT_EQ(Outcome({"--list-ports", "stray"}, &options), "");
  EXPECT_TRUE(options.listPorts);
}

TEST(BridgeOptions, InvalidCommandLinesSayWhatIsWrong) {
  const std::string target = "--target=127.0.0.1:3000";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "--target ADDRESS:PORT is required"},
      {{"--port", "COM2"}, "--target ADDRESS:PORT is required"},
      {{target, "stray"}, "unexpected argument 'stray'"},
      {{target, "-x"}, "unexpected argument '-x'"},
      {{target, "--colour", "blue"}, "unknown option '--colour'"},
      {{target, "--bogus"}, "unknown option '--bogus'"},
      {{target, "--help=1"}, "unknown option '--help'"},
      {{target, "--exit-on-hangup=yes"}, "unknown option '--exit-on-hangup'"},
      {{target, "--stats"}, "option --stats needs a value"},
      {{"--target"}, "option --target needs a value"},
      {{target, "--port="}, "--port needs a port name"},
      {{target, "--config-dir", ""}, "--config-dir needs a folder"},
      {{"--target", "127.0.0.1"}, "invalid --target '127.0.0.1' (IPv4 ADDRESS:PORT, such as 127.0.0.1:3000)"},
      {{"--target", "1.2.3:3000"}, "invalid --target '1.2.3:3000' (IPv4 ADDRESS:PORT, such as 127.0.0.1:3000)"},
      {{"--target", "127.0.0.1:0"}, "invalid --target '127.0.0.1:0' (IPv4 ADDRESS:PORT, such as 127.0.0.1:3000)"},
      {{"--target", "127.0.0.1:65536"},
       "invalid --target '127.0.0.1:65536' (IPv4 ADDRESS:PORT, such as 127.0.0.1:3000)"},
      {{target, "--baud", "0"}, "invalid --baud '0' (a rate such as 115200)"},
      {{target, "--baud", "fast"}, "invalid --baud 'fast' (a rate such as 115200)"},
      {{target, "--parity", "sometimes"}, "invalid --parity 'sometimes' (none, odd, even, mark or space)"},
      {{target, "--data", "4"}, "invalid --data '4' (5 to 8)"},
      {{target, "--data", "9"}, "invalid --data '9' (5 to 8)"},
      {{target, "--stop", "3"}, "invalid --stop '3' (1 or 2)"},
      {{target, "--local-port", "65536"}, "invalid --local-port '65536' (0 to 65535)"},
      {{target, "--frame", "100"}, "invalid --frame '100' (128, 256, 512 or 1024)"},
      {{target, "--frame", "2048"}, "invalid --frame '2048' (128, 256, 512 or 1024)"},
      {{target, "--flush-idle", "0"}, "invalid --flush-idle '0' (milliseconds, 1 to 10000)"},
      {{target, "--flush-idle", "10001"}, "invalid --flush-idle '10001' (milliseconds, 1 to 10000)"},
      {{target, "--stats", "-1"}, "invalid --stats '-1' (seconds, 0 to 86400)"},
      {{target, "--stats", "86401"}, "invalid --stats '86401' (seconds, 0 to 86400)"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(Outcome(args), expected) << Command(args);
}

// The table, the usage text and both man pages name the same options, and
// the man pages agree on which take a value.
TEST(BridgeOptions, EveryDocumentNamesTheTablesOptionsAndNoOther) {
  const Documented table = FromTable();
  Documented usage;
  for (const std::string& name : NamesIn(BridgeUsage())) {
    EXPECT_TRUE(table.count(name)) << name << " is in the usage text but not in the table";
    usage[name] = table.count(name) ? table.at(name) : false;
  }
  EXPECT_EQ(usage, table) << "the usage text";
  EXPECT_EQ(FromManPage("quillon-bridge.1"), table) << "quillon-bridge.1";
  EXPECT_EQ(FromManPage("quillon-bridge.zh_CN.1"), table) << "quillon-bridge.zh_CN.1";
}
