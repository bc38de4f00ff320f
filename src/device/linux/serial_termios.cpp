#include "serial_termios.h"

#include <asm/termbits.h>

#include <cstring>

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
