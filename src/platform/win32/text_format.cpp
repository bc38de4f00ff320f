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

// One conversion directive: its text from '%' to the conversion letter, the
// '*' values it took and its length modifier.
struct Directive {
  std::string text;
  int stars = 0;
  int star[2] = {0, 0};
  std::string_view length;
  char conversion = '\0';
};

// Reads the directive that starts at the '%' at `p` (not "%%"), taking its
// '*' values from the arguments; returns where the format goes on.
const char* ReadDirective(const char* p, va_list* list, Directive& d) {
  const char* start = p++;
  while (*p != '\0' && std::string_view("-+ #0'").find(*p) != std::string_view::npos) ++p;
  if (*p == '*') {
    d.star[d.stars++] = va_arg(*list, int);
    ++p;
  }
  while (*p >= '0' && *p <= '9') ++p;
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      d.star[d.stars++] = va_arg(*list, int);
      ++p;
    }
    while (*p >= '0' && *p <= '9') ++p;
  }
  const char* lengthStart = p;
  while (*p != '\0' && std::string_view("hlLjzt").find(*p) != std::string_view::npos) ++p;
  d.length = std::string_view(lengthStart, static_cast<std::size_t>(p - lengthStart));
  d.conversion = *p;
  if (*p != '\0') ++p;
  d.text.assign(start, static_cast<std::size_t>(p - start));
  return p;
}

// An integer conversion: the argument's type follows the length modifier.
template <typename Int, typename Long, typename LongLong, typename Size>
std::string IntegerPiece(const Directive& d, va_list* list) {
  if (d.length == "ll" || d.length == "j") return Piece(d.text, d.stars, d.star, va_arg(*list, LongLong));
  if (d.length == "l") return Piece(d.text, d.stars, d.star, va_arg(*list, Long));
  if (d.length == "z" || d.length == "t") return Piece(d.text, d.stars, d.star, va_arg(*list, Size));
  return Piece(d.text, d.stars, d.star, va_arg(*list, Int));
}

// The directive's argument, formatted; %n and what printf does not know
// write nothing.
std::string ArgumentPiece(const Directive& d, va_list* list) {
  switch (d.conversion) {
    case 'd':
    case 'i':
      return IntegerPiece<int, long, long long, std::ptrdiff_t>(d, list);
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      return IntegerPiece<unsigned, unsigned long, unsigned long long, std::size_t>(d, list);
    case 'c':
      return Piece(d.text, d.stars, d.star, va_arg(*list, int));
    case 's':
      return Piece(d.text, d.stars, d.star, va_arg(*list, const char*));
    case 'p':
      return Piece(d.text, d.stars, d.star, va_arg(*list, void*));
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A': {
      std::string number = d.length == "L" ? Piece(d.text, d.stars, d.star, va_arg(*list, long double))
                                           : Piece(d.text, d.stars, d.star, va_arg(*list, double));
      CDecimalPoint(number);
      return number;
    }
    default:
      return std::string();
  }
}

}  // namespace

std::string StrFormatV(const char* format, va_list args) {
  std::string out;
  va_list list;
  va_copy(list, args);
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      out += *p++;
    } else if (p[1] == '%') {
      out += '%';
      p += 2;
    } else {
      Directive d;
      p = ReadDirective(p, &list, d);
      if (d.conversion == '\0') break;
      out += ArgumentPiece(d, &list);
    }
  }
  va_end(list);
  return out;
}
