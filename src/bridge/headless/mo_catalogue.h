// A compiled gettext catalogue (a .mo file made by msgfmt) read in place,
// for a system without gettext: the messages' one source stays po/*.po.
//
// Any thread once loaded; nothing blocks, nothing is copied.
#pragma once

#include <cstddef>
#include <cstdint>

class CMoCatalogue {
 public:
  // Takes the catalogue's bytes, which must outlive it. False, and an empty
  // catalogue, for bytes that are no well-formed .mo file.
  bool Load(const std::uint8_t* data, std::size_t size);

  // The translation of msgid, or null when the catalogue has none (or only
  // an empty one).
  const char* Find(const char* msgid) const;

 private:
  std::uint32_t Word(std::size_t offset) const;
  // The string of table entry i: its length and where it starts.
  bool Entry(std::uint32_t table, std::uint32_t i, std::uint32_t* length, std::uint32_t* start) const;

  const std::uint8_t* m_data = nullptr;
  std::size_t m_size = 0;
  bool m_bSwapped = false;
  std::uint32_t m_count = 0;
  std::uint32_t m_originals = 0;
  std::uint32_t m_translations = 0;
};
