#include "serial_termios.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cstring>

#include "device/device_serial.h"
#include "support/pty_pair.h"

TEST(SerialTermios, TermiosCarriesEverySettingAndNothingInherited) {
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

// A pseudo-terminal keeps the speed, the stop bits and the raw local modes,
// and forces 8 bits without parity; that much can be checked on a real port.
TEST(SerialTermios, APseudoTerminalKeepsSpeedStopBitsAndRawModes) {
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
