#include "bridge/headless/bridge_texts.h"

#include <libintl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bridge/udp_port.h"
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
  std::string exe = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string(argv0 ? argv0 : "");
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

// Who may open a device, as the window's cause says it.
std::string OwnerAdvice(const std::string& path) {
  DeviceAccess access;
  if (!ReadDeviceAccess(path, &access)) return std::string();
  if (access.groupWouldHelp) {
    return StrFormat(" (its group %s may: sudo adduser $USER %s, then log in again)", access.group.c_str(),
                     access.group.c_str());
  }
  return StrFormat(" (owner %s, group %s, mode %04o: only its owner or an administrator can grant access)",
                   access.owner.c_str(), access.group.c_str(), access.mode);
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

std::string DescribeOpenFailure(const SerialOpenError& error, const std::string& gbkCause) {
  if (ChineseMessages()) {
    return FromGbk("串口打开错误 请查看该串口是否已被其他应用程序同时打开  " + gbkCause);
  }
  const char* path = error.path.c_str();
  std::string cause;
  if (error.code == ENOTTY) {
    cause = StrFormat("%s is not a serial device", path);
  } else if (error.step == SerialOpenStep::kName) {
    cause = StrFormat("no device for port %s (map it in the [Ports] section of ports.ini)", path);
  } else if (error.step == SerialOpenStep::kSettingsText) {
    cause = "invalid line settings";
  } else if (error.step == SerialOpenStep::kSettings && error.code == EINVAL) {
    cause = StrFormat("%s refuses these line settings (baud rate or format)", path);
  } else if (error.code == ENOENT || error.code == ENODEV || error.code == ENXIO) {
    cause = StrFormat("%s does not exist (is the adapter plugged in?)", path);
  } else if (error.code == EACCES || error.code == EPERM) {
    cause = StrFormat("no permission to open %s%s", path, OwnerAdvice(error.path).c_str());
  } else if (error.code == EBUSY || error.code == EWOULDBLOCK) {
    cause = StrFormat("%s is in use by another program", path);
  } else {
    cause = StrFormat("%s: %s", path, std::strerror(error.code));
  }
  return "cannot open the serial port: " + cause;
}

std::string DescribeBindFailure(int code, unsigned port, const std::string& gbkMessage,
                                const std::string& gbkCause) {
  if (ChineseMessages()) return FromGbk(gbkMessage + "  " + gbkCause);
  std::string cause;
  if (code == EADDRINUSE) {
    cause = "in use by another program";
  } else if (code == EACCES || code == EPERM) {
    cause = "ports below 1024 need privileges";
  } else {
    cause = std::strerror(code);
  }
  return StrFormat("cannot bind local port %u: %s", port, cause.c_str());
}

std::string DescribeSendFailure(int code) {
  if (ChineseMessages()) return FromGbk(DescribeSendError(code));
  return DescribeSendErrorInEnglish(code);
}
