// Text conversion and formatting on glibc: iconv (GBK ships with libc6) and
// the C locale per thread.
#include "platform/text.h"

#include <iconv.h>
#include <locale.h>

#include <cerrno>
#include <cstdio>

#include "platform/text_chars.h"

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

using CharLength = size_t (*)(const unsigned char* p, size_t n);

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

std::string GbkToUtf8(std::string_view gbk) { return Convert(gbk, "UTF-8", "GBK", &GbkCharLength); }

std::string Utf8ToGbk(std::string_view utf8) { return Convert(utf8, "GBK", "UTF-8", &Utf8CharLength); }

// The file system takes names as bytes, and the terminal's are the same bytes.
std::string NameFromTerminal(std::string_view text) { return std::string(text); }

std::string NameForTerminal(std::string_view name) { return std::string(name); }
