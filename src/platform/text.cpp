#include "platform/text.h"

#include "platform/text_chars.h"

namespace {

constexpr bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::size_t Utf8CharLength(const unsigned char* p, std::size_t n) {
  const unsigned char c = p[0];
  const std::size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= n || !IsContinuation(p[i])) return i;
  }
  return length;
}

std::size_t GbkCharLength(const unsigned char* p, std::size_t n) {
  const bool lead = p[0] >= 0x81 && p[0] <= 0xFE;
  const bool trail = n >= 2 && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F;
  return lead && trail ? 2 : 1;
}

std::string StrFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = StrFormatV(format, args);
  va_end(args);
  return out;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;  // lead byte of a double-byte character: its trail byte may look like a letter
    } else if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

int ParseDecimal(std::string_view text, std::uint64_t low, std::uint64_t high, std::uint64_t* out) {
  if (text.empty() || text.size() > 10) return 0;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value < low || value > high) return 0;
  *out = value;
  return 1;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

std::string EscapeControls(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[at]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
      ++at;
      continue;
    }
    const std::size_t length = c >= 0x80 ? Utf8SequenceLength(utf8, at) : 0;
    const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(utf8[at + 1]) <= 0x9F;
    if (length > 0 && !c1) {
      out.append(utf8.substr(at, length));
      at += length;
      continue;
    }
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += StrFormat("\\x%02X", c);
        break;
    }
    ++at;
  }
  return out;
}
