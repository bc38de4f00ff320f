// printf-style formatting on Windows in the C locale whatever locale the
// process has set. mingw's printf (the one the C++ runtime asks for, with
// C99's %zu and %lld) writes the locale's decimal point and Windows has no
// per-call locale for it; so each conversion is formatted on its own and a
// floating-point one gets '.' back.
#include "platform/text.h"

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

// One conversion with up to two '*' values before its argument.
template <typename T>
std::string Piece(const std::string& directive, int stars, const int* star, T value) {
  char small[128];
  int n;
  switch (stars) {
    case 0: n = std::snprintf(small, sizeof small, directive.c_str(), value); break;
    case 1: n = std::snprintf(small, sizeof small, directive.c_str(), star[0], value); break;
    default: n = std::snprintf(small, sizeof small, directive.c_str(), star[0], star[1], value); break;
  }
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
  std::string out(static_cast<std::size_t>(n), '\0');
  switch (stars) {
    case 0: std::snprintf(out.data(), out.size() + 1, directive.c_str(), value); break;
    case 1: std::snprintf(out.data(), out.size() + 1, directive.c_str(), star[0], value); break;
    default: std::snprintf(out.data(), out.size() + 1, directive.c_str(), star[0], star[1], value); break;
  }
  return out;
}

// The locale's decimal point in a formatted number back to '.'.
void CDecimalPoint(std::string& number) {
  const char* point = std::localeconv()->decimal_point;
  if (point == nullptr || std::string_view(point) == "." || *point == '\0') return;
  const std::size_t at = number.find(point);
  if (at != std::string::npos) number = number.substr(0, at) + "." + number.substr(at + std::string_view(point).size());
}

}  // namespace

std::string StrFormatV(const char* format, va_list args) {
  std::string out;
  va_list list;
  va_copy(list, args);
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    int stars = 0;
    int star[2] = {0, 0};
    while (*p != '\0' && std::string_view("-+ #0'").find(*p) != std::string_view::npos) ++p;
    if (*p == '*') {
      star[stars++] = va_arg(list, int);
      ++p;
    }
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        star[stars++] = va_arg(list, int);
        ++p;
      }
      while (*p >= '0' && *p <= '9') ++p;
    }
    std::string_view length;
    const char* lengthStart = p;
    while (*p != '\0' && std::string_view("hlLjzt").find(*p) != std::string_view::npos) ++p;
    length = std::string_view(lengthStart, static_cast<std::size_t>(p - lengthStart));
    const char conversion = *p;
    if (conversion == '\0') break;
    ++p;
    const std::string directive(start, static_cast<std::size_t>(p - start));
    switch (conversion) {
      case 'd':
      case 'i':
        if (length == "ll" || length == "j") {
          out += Piece(directive, stars, star, va_arg(list, long long));
        } else if (length == "l") {
          out += Piece(directive, stars, star, va_arg(list, long));
        } else if (length == "z" || length == "t") {
          out += Piece(directive, stars, star, va_arg(list, std::ptrdiff_t));
        } else {
          out += Piece(directive, stars, star, va_arg(list, int));
        }
        break;
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        if (length == "ll" || length == "j") {
          out += Piece(directive, stars, star, va_arg(list, unsigned long long));
        } else if (length == "l") {
          out += Piece(directive, stars, star, va_arg(list, unsigned long));
        } else if (length == "z" || length == "t") {
          out += Piece(directive, stars, star, va_arg(list, std::size_t));
        } else {
          out += Piece(directive, stars, star, va_arg(list, unsigned));
        }
        break;
      case 'c':
        out += Piece(directive, stars, star, va_arg(list, int));
        break;
      case 's':
        out += Piece(directive, stars, star, va_arg(list, const char*));
        break;
      case 'p':
        out += Piece(directive, stars, star, va_arg(list, void*));
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A': {
        std::string number = length == "L" ? Piece(directive, stars, star, va_arg(list, long double))
                                           : Piece(directive, stars, star, va_arg(list, double));
        CDecimalPoint(number);
        out += number;
        break;
      }
      default:  // %n and what printf does not know: nothing is written
        break;
    }
  }
  va_end(list);
  return out;
}
