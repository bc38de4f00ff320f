#include "platform/text.h"

#include <iconv.h>
#include <locale.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

// Switches the calling thread to the C locale for the lifetime of the guard.
class CLocaleScope {
 public:
  CLocaleScope() : m_previous(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(m_previous); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t m_previous;
};

// How many bytes of the source make the character at p (n > 0 bytes left),
// so that a character the target cannot hold becomes one '?', not one per
// byte. A broken sequence counts up to its first byte that does not belong.
using CharLength = size_t (*)(const unsigned char* p, size_t n);

size_t Utf8CharLength(const unsigned char* p, size_t n) {
  const unsigned char c = p[0];
  const size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
  for (size_t i = 1; i < length; ++i) {
    if (i >= n || (p[i] & 0xC0) != 0x80) return i;
  }
  return length;
}

size_t GbkCharLength(const unsigned char* p, size_t n) {
  const bool lead = p[0] >= 0x81 && p[0] <= 0xFE;
  const bool trail = n >= 2 && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F;
  return lead && trail ? 2 : 1;
}

std::string Convert(std::string_view in, const char* to, const char* from, CharLength charLength) {
  std::string out;
  if (in.empty()) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  out.resize(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
      continue;
    }
    // EILSEQ or EINVAL: replace the offending character and go on.
    if (dstLeft == 0) {
      size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
    }
    *dst++ = '?';
    --dstLeft;
    const size_t skipped = charLength(reinterpret_cast<const unsigned char*>(src), srcLeft);
    src += skipped;
    srcLeft -= skipped;
  }
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.resize(static_cast<size_t>(dst - out.data()));
  iconv_close(cd);
  return out;
}

}  // namespace

std::string StrFormatV(const char* format, va_list args) {
  CLocaleScope cLocale;
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, format, args);
  return out;
}

std::string StrFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = StrFormatV(format, args);
  va_end(args);
  return out;
}

std::string GbkToUtf8(std::string_view gbk) { return Convert(gbk, "UTF-8", "GBK", &GbkCharLength); }

std::string Utf8ToGbk(std::string_view utf8) { return Convert(utf8, "GBK", "UTF-8", &Utf8CharLength); }

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

namespace {

// Length of the well-formed UTF-8 sequence at text[at], 0 when there is none.
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

}  // namespace

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
