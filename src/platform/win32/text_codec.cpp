// Text conversion on Windows: code page 936 through MultiByteToWideChar and
// WideCharToMultiByte, whatever the system's own code page; UTF-8 ↔ UTF-16
// by hand, so that broken input is replaced exactly as on Linux.
#include "platform/text.h"

#include <windows.h>


#include "platform/text_chars.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr UINT kGbk = 936;

void AppendUtf16(std::wstring& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<wchar_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (c >> 10));
    out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The code point of the well-formed sequence of length bytes at p.
char32_t DecodeUtf8(const unsigned char* p, std::size_t length) {
  if (length == 1) return p[0];
  char32_t c = p[0] & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) c = (c << 6) | (p[i] & 0x3F);
  return c;
}

// Code page 936 gives its user-defined areas (A140 to A7A0, AAA1 to AFFE,
// F8A1 to FEFE) characters of the private use area; GBK as glibc reads it
// has none there, and neither has any font. They count as no character.
bool IsPrivateUse(wchar_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// One GBK character (one or two bytes) as UTF-16, or false when code page
// 936 has no character there.
bool WideOfGbkChar(const char* p, int length, std::wstring& out) {
  wchar_t wide[2];
  const int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, p, length, wide, 2);
  if (n <= 0 || IsPrivateUse(wide[0])) return false;
  out.append(wide, static_cast<std::size_t>(n));
  return true;
}

// One code point (one or two UTF-16 units) as GBK, or false when GBK lacks it.
bool GbkOfWide(const wchar_t* p, int length, std::string& out) {
  char bytes[8];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, p, length, bytes, sizeof bytes, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  out.append(bytes, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

std::wstring WideFromGbk(std::string_view gbk) {
  std::wstring out;
  if (gbk.empty()) return out;
  // Whole at once when every character converts (the usual case).
  const int size = static_cast<int>(gbk.size());
  const int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), size, nullptr, 0);
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), size, out.data(), n);
    bool privateUse = false;
    for (wchar_t c : out) privateUse = privateUse || IsPrivateUse(c);
    if (!privateUse) return out;
    out.clear();
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
  for (std::size_t at = 0; at < gbk.size();) {
    const std::size_t length = GbkCharLength(bytes + at, gbk.size() - at);
    if (bytes[at] < 0x80) {
      out += static_cast<wchar_t>(bytes[at]);
    } else if (!WideOfGbkChar(gbk.data() + at, static_cast<int>(length), out)) {
      out += L'?';
    }
    at += length;
  }
  return out;
}

std::string GbkFromWide(std::wstring_view wide) {
  std::string out;
  if (wide.empty()) return out;
  const int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &usedDefault);
  if (n > 0 && !usedDefault) {
    out.resize(static_cast<std::size_t>(n));
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
  }
  // Character by character: a surrogate pair is one character, a lone
  // surrogate one that nothing holds.
  for (std::size_t at = 0; at < wide.size();) {
    const wchar_t c = wide[at];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 &&
                      wide[at + 1] <= 0xDFFF;
    const int length = pair ? 2 : 1;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c >= 0xD800 && c <= 0xDFFF && !pair) || !GbkOfWide(wide.data() + at, length, out)) {
      out += '?';
    }
    at += static_cast<std::size_t>(length);
  }
  return out;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t length = Utf8SequenceLength(utf8, at);
    if (bytes[at] < 0x80) {
      out += static_cast<wchar_t>(bytes[at]);
      ++at;
    } else if (length == 0) {
      out += L'?';
      at += Utf8CharLength(bytes + at, utf8.size() - at);
    } else {
      AppendUtf16(out, DecodeUtf8(bytes + at, length));
      at += length;
    }
  }
  return out;
}

std::string Utf8FromWide(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t at = 0; at < wide.size(); ++at) {
    const char32_t c = wide[at];
    if (c >= 0xD800 && c <= 0xDBFF && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 && wide[at + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(wide[at + 1]) - 0xDC00));
      ++at;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += '?';
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::string GbkPathFromWide(const std::wstring& path) {
  std::string gbk = GbkFromWide(path);
  if (WideFromGbk(gbk) == path) return gbk;
  const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return std::string();
  std::wstring shortPath(n, L'\0');
  const DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), n);
  if (got == 0 || got >= n) return std::string();
  shortPath.resize(got);
  gbk = GbkFromWide(shortPath);
  return WideFromGbk(gbk) == shortPath ? gbk : std::string();
}

std::string GbkToUtf8(std::string_view gbk) { return Utf8FromWide(WideFromGbk(gbk)); }

std::string Utf8ToGbk(std::string_view utf8) { return GbkFromWide(WideFromUtf8(utf8)); }

std::string NameFromTerminal(std::string_view text) { return Utf8ToGbk(text); }

std::string NameForTerminal(std::string_view name) { return GbkToUtf8(name); }
