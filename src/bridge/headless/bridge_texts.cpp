#include "bridge/headless/bridge_texts.h"

#include <libintl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bridge/udp_port.h"
#include "platform/path_name.h"
#include "platform/text.h"

namespace {

constexpr char kDomain[] = "quillon-bridge";

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder of the running executable, from /proc (argv0 as a fallback).
std::string ExecutableFolder(const char* argv0) {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return PathFolder(n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string(argv0 ? argv0 : ""));
}

}  // namespace

void InitBridgeTexts(const char* argv0) {
  setlocale(LC_ALL, "");
  // Numbers in messages are formatted by the core, which ignores the locale;
  // keep printf's own conversions in this program's lines the same.
  setlocale(LC_NUMERIC, "C");
  const std::string beside = ExecutableFolder(argv0) + "/locale";
  bindtextdomain(kDomain, IsFolder(beside) ? beside.c_str() : QUILLON_LOCALE_DIR);
  textdomain(kDomain);
}

const char* Tr(const char* english) { return dgettext(kDomain, english); }

bool ChineseMessages() {
  static const char kProbe[] = "quillon-bridge: serial port %s is back, forwarding again\n";
  return std::strcmp(Tr(kProbe), kProbe) != 0;
}

std::string FromGbk(const std::string& gbk) { return GbkToUtf8(gbk); }

namespace {
Wording BridgeWording() { return ChineseMessages() ? Wording::kChinese : Wording::kEnglish; }
}  // namespace

std::string DescribeOpenFailure(const SerialOpenError& error) {
  if (ChineseMessages()) {
    return FromGbk(std::string(kSerialOpenHeadline) + "  " + DescribeSerialOpenError(error, Wording::kChinese));
  }
  return "cannot open the serial port: " + DescribeSerialOpenError(error, Wording::kEnglish);
}

std::string DescribeBindFailure(const CUdpPort& udp, unsigned port, const std::string& gbkMessage) {
  if (ChineseMessages()) return FromGbk(gbkMessage + "  " + udp.GetBindErrorCause());
  return StrFormat("cannot bind local port %u: %s", port, udp.DescribeBindError(Wording::kEnglish).c_str());
}

std::string DescribeSendFailure(int code) {
  return FromGbk(DescribeSendError(code, BridgeWording()));
}
