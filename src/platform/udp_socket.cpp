#include "platform/udp_socket.h"

bool ParseIpv4Address(const char* text, std::uint32_t* address) {
  if (text == nullptr) return false;
  std::uint32_t value = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *text++ != '.') return false;
    if (*text < '0' || *text > '9') return false;
    unsigned number = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
      if (digits == 1 && number == 0) return false;  // a leading zero
      number = number * 10 + static_cast<unsigned>(*text - '0');
      if (number > 255) return false;
    }
    value = (value << 8) | number;
  }
  if (*text != '\0') return false;
  *address = value;
  return true;
}
