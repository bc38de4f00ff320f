#include "device/serial_settings.h"

#include <asm/termbits.h>

#include <cstring>

char SerialParityLetter(const std::string& parity) {
  if (parity == "无") return 'N';
  if (parity == "奇校验") return 'O';
  if (parity == "偶校验") return 'E';
  if (parity == "标记") return 'M';
  if (parity == "空格") return 'S';
  return 'N';
}

namespace {

// A decimal number made of digits only, within [low, high].
bool ParseDecimal(const std::string& text, std::uint64_t low, std::uint64_t high,
                  std::uint64_t* out) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value < low || value > high) return false;
  *out = value;
  return true;
}

}  // namespace

int ParseSerialLineSettings(const std::string& baud, const std::string& parity,
                            const std::string& dataBits, const std::string& stopBits,
                            SerialLineSettings* out) {
  std::uint64_t nBaud = 0;
  std::uint64_t nData = 0;
  std::uint64_t nStop = 0;
  if (!ParseDecimal(baud, 1, 0xFFFFFFFFu, &nBaud)) return 0;
  if (dataBits.size() != 1 || !ParseDecimal(dataBits, 5, 8, &nData)) return 0;
  if (stopBits.size() != 1 || !ParseDecimal(stopBits, 1, 2, &nStop)) return 0;
  out->nBaud = static_cast<std::uint32_t>(nBaud);
  out->cParity = SerialParityLetter(parity);
  out->nDataBits = static_cast<int>(nData);
  out->nStopBits = static_cast<int>(nStop);
  return 1;
}

void BuildSerialTermios(const SerialLineSettings& settings, termios2* out) {
  std::memset(out, 0, sizeof(*out));

  // Input: a break is no data; no parity check (a byte with a parity error is
  // delivered as it came, never replaced), no stripping or CR/LF mapping, no
  // XON/XOFF.
  out->c_iflag = IGNBRK;
  out->c_oflag = 0;
  out->c_lflag = 0;
  out->c_line = 0;

  tcflag_t cflag = CREAD | CLOCAL | HUPCL;
  switch (settings.nDataBits) {
    case 5: cflag |= CS5; break;
    case 6: cflag |= CS6; break;
    case 7: cflag |= CS7; break;
    default: cflag |= CS8; break;
  }
  if (settings.nStopBits == 2) cflag |= CSTOPB;
  switch (settings.cParity) {
    case 'O': cflag |= PARENB | PARODD; break;
    case 'E': cflag |= PARENB; break;
    case 'M': cflag |= PARENB | CMSPAR | PARODD; break;  // stick parity, always 1
    case 'S': cflag |= PARENB | CMSPAR; break;           // stick parity, always 0
    default: break;
  }
  // BOTHER in both speed fields: the kernel takes c_ospeed and c_ispeed as
  // they are, so a rate with no Bxxx constant (56000) is really set.
  cflag |= BOTHER | (BOTHER << IBSHIFT);
  out->c_cflag = cflag;
  out->c_ispeed = settings.nBaud;
  out->c_ospeed = settings.nBaud;

  // Non-blocking reads return what is there; these only matter to a reader
  // that blocks.
  out->c_cc[VMIN] = 1;
  out->c_cc[VTIME] = 0;
}

int SerialSpeedAccepted(std::uint32_t requested, std::uint32_t reported) {
  const std::uint64_t a = requested;
  const std::uint64_t b = reported;
  const std::uint64_t diff = a > b ? a - b : b - a;
  return diff * 100 <= a * 3 ? 1 : 0;
}
