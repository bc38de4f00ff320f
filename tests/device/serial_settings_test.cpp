#include "device/serial_settings.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cstring>

#include "device/device_serial.h"
#include "support/pty_pair.h"

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

TEST(SerialSettings, TermiosCarriesEverySettingAndNothingInherited) {
  const char parities[] = {'N', 'O', 'E', 'M', 'S'};
  const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  for (char parity : parities) {
    for (int data = 5; data <= 8; ++data) {
      for (int stop = 1; stop <= 2; ++stop) {
        SerialLineSettings settings;
        settings.nBaud = 56000;
        settings.cParity = parity;
        settings.nDataBits = data;
        settings.nStopBits = stop;
        termios2 t;
        std::memset(&t, 0xA5, sizeof(t));  // what a previous program might have left
        BuildSerialTermios(settings, &t);
        SCOPED_TRACE(testing::Message() << parity << data << stop);

        EXPECT_EQ(t.c_cflag & CSIZE, sizes[data - 5]);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stop == 2);
        const bool enabled = parity != 'N';
        EXPECT_EQ((t.c_cflag & PARENB) != 0, enabled);
        EXPECT_EQ((t.c_cflag & PARODD) != 0, parity == 'O' || parity == 'M');
        EXPECT_EQ((t.c_cflag & CMSPAR) != 0, parity == 'M' || parity == 'S');
        EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
        EXPECT_EQ((t.c_cflag >> IBSHIFT) & CBAUD, static_cast<tcflag_t>(BOTHER));
        EXPECT_EQ(t.c_ospeed, 56000u);
        EXPECT_EQ(t.c_ispeed, 56000u);
        EXPECT_NE(t.c_cflag & CLOCAL, 0u);
        EXPECT_NE(t.c_cflag & CREAD, 0u);
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);

        // Raw: bytes pass unchanged, nothing echoes, no software flow control.
        EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IGNBRK));
        EXPECT_EQ(t.c_oflag, 0u);
        EXPECT_EQ(t.c_lflag, 0u);
        EXPECT_EQ(t.c_line, 0);
        for (int i = 0; i < NCCS; ++i) EXPECT_EQ(t.c_cc[i], i == VMIN ? 1 : 0) << "c_cc " << i;
      }
    }
  }
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

// A pseudo-terminal keeps the speed, the stop bits and the raw local modes,
// and forces 8 bits without parity; that much can be checked on a real port.
TEST(SerialSettings, APseudoTerminalKeepsSpeedStopBitsAndRawModes) {
  PtyPair pty;
  OPEN_PTY_OR_SKIP(pty);
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.path, "56000", "偶校验", "7", "2", SERIAL_EVENT_MASK), 1);
  termios2 t{};
  ASSERT_EQ(ioctl(pty.slave, TCGETS2, &t), 0);
  EXPECT_EQ(t.c_ospeed, 56000u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_EQ(t.c_lflag, 0u);
  EXPECT_EQ(t.c_oflag, 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | ISTRIP | INPCK), 0u);
  port.Close();
}
