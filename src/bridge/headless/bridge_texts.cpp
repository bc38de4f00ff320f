#include "bridge/headless/bridge_texts.h"

#include <cstring>

#include "bridge/udp_port.h"
#include "platform/text.h"

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
  // The English words are ASCII around the device's name, which is GBK on
  // Windows.
  return NameForTerminal("cannot open the serial port: " + DescribeSerialOpenError(error, Wording::kEnglish));
}

std::string DescribeBindFailure(const CUdpPort& udp, unsigned port, const std::string& gbkMessage) {
  if (ChineseMessages()) return FromGbk(gbkMessage + "  " + udp.GetBindErrorCause());
  return StrFormat("cannot bind local port %u: %s", port, udp.DescribeBindError(Wording::kEnglish).c_str());
}

std::string DescribeSendFailure(int code) {
  return FromGbk(DescribeSendError(code, BridgeWording()));
}
