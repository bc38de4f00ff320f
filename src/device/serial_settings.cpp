#include "device/serial_settings.h"

#include <asm/termbits.h>

#include <cstring>

#include "platform/text.h"

char SerialParityLetter(const std::string& parity) {
  for (const SerialParity& known : SERIAL_PARITIES) {
    if (parity == known.szName) return known.cLetter;
  }
  return 'N';
}

int ParseSerialBaud(const std::string& baud, std::uint32_t* out) {
  std::uint64_t value = 0;
  if (!ParseDecimal(baud, 1, 0xFFFFFFFFu, &value)) return 0;
  *out = static_cast<std::uint32_t>(value);
  return 1;
}

int ParseSerialDataBits(const std::string& dataBits, int* out) {
  std::uint64_t value = 0;
  if (dataBits.size() != 1 || !ParseDecimal(dataBits, SERIAL_DATA_BITS_MIN, SERIAL_DATA_BITS_MAX, &value)) return 0;
  *out = static_cast<int>(value);
  return 1;
}

int ParseSerialStopBits(const std::string& stopBits, int* out) {
  std::uint64_t value = 0;
  if (stopBits.size() != 1 || !ParseDecimal(stopBits, SERIAL_STOP_BITS_MIN, SERIAL_STOP_BITS_MAX, &value)) return 0;
  *out = static_cast<int>(value);
  return 1;
}

int ParseSerialLineSettings(const std::string& baud, const std::string& parity,
                            const std::string& dataBits, const std::string& stopBits,
                            SerialLineSettings* out) {
  SerialLineSettings parsed;
  if (!ParseSerialBaud(baud, &parsed.nBaud)) return 0;
  if (!ParseSerialDataBits(dataBits, &parsed.nDataBits)) return 0;
  if (!ParseSerialStopBits(stopBits, &parsed.nStopBits)) return 0;
  parsed.cParity = SerialParityLetter(parity);
  *out = parsed;
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
