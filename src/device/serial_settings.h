// Line settings of a serial port: the four setting texts a device carries
// (baud, parity display name, data bits, stop bits), checked. Pure functions,
// shared by every serial engine (each turns the settings into its system's
// own record: device/linux/serial_termios.h).
//
// Threads: any thread; nothing blocks.
#pragma once

#include <cstdint>
#include <string>

struct SerialLineSettings {
  std::uint32_t nBaud = 9600;
  char cParity = 'N';  // N, O, E, M (mark) or S (space)
  int nDataBits = 8;   // 5 to 8
  int nStopBits = 1;   // 1 or 2
};

// A parity the device knows: its display name (GBK, what the "Parity" item
// of the start parameters holds), its letter and the English word the
// headless bridge's command line also takes.
struct SerialParity {
  const char* szName;
  char cLetter;
  const char* szWord;
};
// Every parity, the three that the main form offers ("无", "奇校验", "偶校验")
// first.
inline constexpr SerialParity SERIAL_PARITIES[] = {
    {"无", 'N', "none"}, {"奇校验", 'O', "odd"}, {"偶校验", 'E', "even"}, {"标记", 'M', "mark"}, {"空格", 'S', "space"},
};
constexpr int FORM_PARITY_COUNT = 3;

// Data bits and stop bits that can be applied.
constexpr int SERIAL_DATA_BITS_MIN = 5;
constexpr int SERIAL_DATA_BITS_MAX = 8;
constexpr int SERIAL_STOP_BITS_MIN = 1;
constexpr int SERIAL_STOP_BITS_MAX = 2;

// The parity letter of a display name, compared byte for byte: "无" N,
// "奇校验" O, "偶校验" E, "标记" M, "空格" S; any other text (also "N",
// "odd" or the empty text) is N.
char SerialParityLetter(const std::string& parity);

// One setting text each: true and *out set when it can be applied, else
// false and *out untouched. Baud: a decimal number from 1 to 4294967295 with nothing
// around it (0 would hang the line up). Data bits: one digit, 5 to 8. Stop
// bits: "1" or "2".
bool ParseSerialBaud(const std::string& baud, std::uint32_t* out);
bool ParseSerialDataBits(const std::string& dataBits, int* out);
bool ParseSerialStopBits(const std::string& stopBits, int* out);

// true and out filled when every text can be applied (see above); otherwise
// false and out untouched.
bool ParseSerialLineSettings(const std::string& baud, const std::string& parity,
                             const std::string& dataBits, const std::string& stopBits,
                             SerialLineSettings* out);

// Whether the speed a driver reports back after the settings were applied is
// the one asked for, give or take 3% (what a UART receiver tolerates); drivers
// round to what their clock divides to, and fall back to another speed when
// they cannot come near.
bool SerialSpeedAccepted(std::uint32_t requested, std::uint32_t reported);
