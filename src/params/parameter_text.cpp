#include "params/parameter_text.h"

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Only uppercase digits count: a hand-edited "0a" decodes as 00, which keeps
// the reader byte-compatible with texts written elsewhere.
std::uint8_t Nibble(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  return 0;
}

std::uint8_t PairAt(std::string_view hex, std::size_t byteIndex) {
  return static_cast<std::uint8_t>((Nibble(hex[2 * byteIndex]) << 4) | Nibble(hex[2 * byteIndex + 1]));
}

}  // namespace

std::string BufferToHex(const void* data, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::string out(2 * length, '0');
  for (std::size_t i = 0; i < length; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return out;
}

std::string BytesToHex(const std::vector<std::uint8_t>& bytes) {
  return BufferToHex(bytes.data(), bytes.size());
}

std::string StringToHex(std::string_view text) { return BufferToHex(text.data(), text.size()); }

int HexToBytes(std::string_view hex, std::vector<std::uint8_t>& out) {
  const std::size_t n = hex.size() / 2;
  out.resize(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = PairAt(hex, i);
  return 1;
}

int HexToString(std::string_view hex, std::string& out) {
  const std::size_t n = hex.size() / 2;
  out.clear();
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = PairAt(hex, i);
    if (b == 0) break;
    out.push_back(static_cast<char>(b));
  }
  return 1;
}

int HexToBuffer(std::string_view hex, void* buffer, std::size_t count) {
  if (hex.size() / 2 != count) return 0;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = PairAt(hex, i);
  return 1;
}

void SplitString(std::string_view text, std::string_view separator, std::vector<std::string>& out) {
  out.clear();
  if (separator.empty()) {
    out.emplace_back(text);
    return;
  }
  // Each separator of the text form begins with '<', which is never a byte of
  // a double-byte character, so a plain byte search finds only whole ones.
  std::size_t start = 0;
  std::size_t found;
  while ((found = text.find(separator, start)) != std::string_view::npos) {
    const std::size_t after = found + separator.size();
    if (found == 0) {
      start = after;  // nothing comes before a leading separator
      continue;
    }
    out.emplace_back(text.substr(start, found - start));
    start = after;
    if (after == text.size()) return;  // a closing separator opens no field
  }
  out.emplace_back(text.substr(start));
}
