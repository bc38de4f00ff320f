#include "platform/window/win32/win32_text.h"

#include "platform/window/win32/win32_system.h"

namespace {

constexpr UINT kGbk = 936;

// Bytes a UTF-16 unit takes in GBK: ASCII one, the rest two (a surrogate
// pair is one '?' for both halves, so each half counts one).
int GbkBytesOf(wchar_t c) {
  if (c < 0x80) return 1;
  if (c >= 0xD800 && c <= 0xDFFF) return 1;
  return 2;
}

}  // namespace

std::wstring GbkToWide(const std::string& gbk) {
  if (gbk.empty()) return std::wstring();
  const int n = MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), n);
  return out;
}

std::string WideToGbk(const wchar_t* text, int nLength) {
  if (text == nullptr || nLength <= 0) return std::string();
  const int n = WideCharToMultiByte(kGbk, 0, text, nLength, nullptr, 0, "?", nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kGbk, 0, text, nLength, out.data(), n, "?", nullptr);
  return out;
}

std::string WideToGbk(const std::wstring& text) { return WideToGbk(text.data(), static_cast<int>(text.size())); }

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
  return out;
}

int WideIndexOfByte(const std::wstring& text, int nByte) {
  int bytes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (bytes >= nByte) return static_cast<int>(i);
    bytes += GbkBytesOf(text[i]);
  }
  return static_cast<int>(text.size());
}

int ByteOfWideIndex(const std::wstring& text, int nIndex) {
  int bytes = 0;
  for (std::size_t i = 0; i < text.size() && static_cast<int>(i) < nIndex; ++i) bytes += GbkBytesOf(text[i]);
  return bytes;
}
