#include "device/serial_settings.h"

#include <gtest/gtest.h>

TEST(SerialSettings, ParityLettersFollowTheDisplayNamesByteForByte) {
  const struct {
    const char* text;
    char letter;
  } cases[] = {
      {"无", 'N'},      {"奇校验", 'O'}, {"偶校验", 'E'}, {"标记", 'M'},   {"空格", 'S'},
      {"", 'N'},        {"N", 'N'},      {"odd", 'N'},    {"奇", 'N'},     {"偶校验 ", 'N'},
      {"E", 'N'},       {"M", 'N'},
  };
  for (const auto& c : cases) EXPECT_EQ(SerialParityLetter(c.text), c.letter) << c.text;
}

TEST(SerialSettings, AcceptsOnlyTextsThatCanBeApplied) {
  const struct {
    const char* baud;
    const char* data;
    const char* stop;
    int ok;
  } cases[] = {
      {"9600", "8", "1", 1},       {"56000", "7", "2", 1},      {"460800", "5", "1", 1},
      {"1", "6", "1", 1},          {"4294967295", "8", "1", 1}, {"0", "8", "1", 0},
      {"abc", "8", "1", 0},        {"", "8", "1", 0},           {" 9600", "8", "1", 0},
      {"9600 ", "8", "1", 0},      {"+9600", "8", "1", 0},      {"-1", "8", "1", 0},
      {"9600.0", "8", "1", 0},     {"4294967296", "8", "1", 0}, {"00000000000009600", "8", "1", 0},
      {"9600", "9", "1", 0},       {"9600", "4", "1", 0},       {"9600", "08", "1", 0},
      {"9600", "", "1", 0},        {"9600", "8", "1.5", 0},     {"9600", "8", "0", 0},
      {"9600", "8", "3", 0},       {"9600", "8", "", 0},
  };
  for (const auto& c : cases) {
    SerialLineSettings out;
    out.nBaud = 77;
    EXPECT_EQ(ParseSerialLineSettings(c.baud, "偶校验", c.data, c.stop, &out), c.ok)
        << c.baud << " " << c.data << " " << c.stop;
    if (!c.ok) {
      EXPECT_EQ(out.nBaud, 77u) << "untouched on refusal";
    }
  }
  SerialLineSettings out;
  ASSERT_EQ(ParseSerialLineSettings("56000", "标记", "7", "2", &out), 1);
  EXPECT_EQ(out.nBaud, 56000u);
  EXPECT_EQ(out.cParity, 'M');
  EXPECT_EQ(out.nDataBits, 7);
  EXPECT_EQ(out.nStopBits, 2);
}

TEST(SerialSettings, SpeedReadBackMustStayNearTheRequest) {
  EXPECT_EQ(SerialSpeedAccepted(56000, 56000), 1);
  EXPECT_EQ(SerialSpeedAccepted(56000, 57600), 1);  // what a 16550 divides 56000 to
  EXPECT_EQ(SerialSpeedAccepted(460800, 460800 - 13824), 1);
  EXPECT_EQ(SerialSpeedAccepted(460800, 460800 - 13825), 0);
  EXPECT_EQ(SerialSpeedAccepted(56000, 9600), 0);  // a driver's fallback
  EXPECT_EQ(SerialSpeedAccepted(115200, 0), 0);
  EXPECT_EQ(SerialSpeedAccepted(4294967295u, 4294967295u), 1);
}
