#include "bridge/headless/mo_catalogue.h"

#include <cstring>

namespace {

constexpr std::uint32_t kMagic = 0x950412DE;
constexpr std::uint32_t kMagicSwapped = 0xDE120495;

std::uint32_t Swap(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

}  // namespace

std::uint32_t CMoCatalogue::Word(std::size_t offset) const {
  std::uint32_t v;
  std::memcpy(&v, m_data + offset, sizeof v);
  return m_bSwapped ? Swap(v) : v;
}

bool CMoCatalogue::Entry(std::uint32_t table, std::uint32_t i, std::uint32_t* length, std::uint32_t* start) const {
  const std::size_t at = static_cast<std::size_t>(table) + static_cast<std::size_t>(i) * 8;
  if (at + 8 > m_size) return false;
  *length = Word(at);
  *start = Word(at + 4);
  // Every string ends in a NUL byte inside the file.
  return static_cast<std::size_t>(*start) + *length < m_size && m_data[*start + *length] == 0;
}

bool CMoCatalogue::Load(const std::uint8_t* data, std::size_t size) {
  *this = CMoCatalogue();
  if (data == nullptr || size < 28) return false;
  m_data = data;
  m_size = size;
  std::uint32_t magic;
  std::memcpy(&magic, data, sizeof magic);
  if (magic != kMagic && magic != kMagicSwapped) {
    *this = CMoCatalogue();
    return false;
  }
  m_bSwapped = magic == kMagicSwapped;
  m_count = Word(8);
  m_originals = Word(12);
  m_translations = Word(16);
  std::uint32_t length = 0, start = 0;
  for (std::uint32_t i = 0; i < m_count; ++i) {
    if (!Entry(m_originals, i, &length, &start) || !Entry(m_translations, i, &length, &start)) {
      *this = CMoCatalogue();
      return false;
    }
  }
  return true;
}

const char* CMoCatalogue::Find(const char* msgid) const {
  // msgfmt sorts the originals byte by byte: a binary search.
  std::uint32_t low = 0, high = m_count;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    std::uint32_t length = 0, start = 0;
    Entry(m_originals, middle, &length, &start);
    const int order = std::strcmp(msgid, reinterpret_cast<const char*>(m_data + start));
    if (order == 0) {
      Entry(m_translations, middle, &length, &start);
      return length > 0 ? reinterpret_cast<const char*>(m_data + start) : nullptr;
    }
    if (order < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return nullptr;
}
