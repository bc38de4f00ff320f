#include "device/serial_settings.h"

#include "platform/text.h"

char SerialParityLetter(const std::string& parity) {
  for (const SerialParity& known : SERIAL_PARITIES) {
    if (parity == known.szName) return known.cLetter;
  }
  return 'N';
}

bool ParseSerialBaud(const std::string& baud, std::uint32_t* out) {
  std::uint64_t value = 0;
  if (!ParseDecimal(baud, 1, 0xFFFFFFFFu, &value)) return false;
  *out = static_cast<std::uint32_t>(value);
  return true;
}

bool ParseSerialDataBits(const std::string& dataBits, int* out) {
  std::uint64_t value = 0;
  if (dataBits.size() != 1 || !ParseDecimal(dataBits, SERIAL_DATA_BITS_MIN, SERIAL_DATA_BITS_MAX, &value)) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseSerialStopBits(const std::string& stopBits, int* out) {
  std::uint64_t value = 0;
  if (stopBits.size() != 1 || !ParseDecimal(stopBits, SERIAL_STOP_BITS_MIN, SERIAL_STOP_BITS_MAX, &value)) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseSerialLineSettings(const std::string& baud, const std::string& parity,
                             const std::string& dataBits, const std::string& stopBits,
                             SerialLineSettings* out) {
  SerialLineSettings parsed;
  if (!ParseSerialBaud(baud, &parsed.nBaud)) return false;
  if (!ParseSerialDataBits(dataBits, &parsed.nDataBits)) return false;
  if (!ParseSerialStopBits(stopBits, &parsed.nStopBits)) return false;
  parsed.cParity = SerialParityLetter(parity);
  *out = parsed;
  return true;
}

bool SerialSpeedAccepted(std::uint32_t requested, std::uint32_t reported) {
  const std::uint64_t a = requested;
  const std::uint64_t b = reported;
  const std::uint64_t diff = a > b ? a - b : b - a;
  return diff * 100 <= a * 3;
}
