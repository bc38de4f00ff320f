// An ordered collection of CParameter items with unique names, a name index,
// typed get and set by name, nested collections created on demand, flattening
// to dotted names, the text form and the archive form.
//
// The nested collection of an item is a separate object that the item owns:
// a pointer from GetParameters stays valid while that item exists, also when
// later appends grow the array. Removing the item, RemoveAll, Copy,
// FromString or an archive load on the holding collection ends it.
//
// Threads: a collection takes no locks and must not be used from two threads
// at once; the device base guards its own with its lock. Nothing blocks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "params/parameter.h"
#include "platform/archive.h"

class CParameters : public CObject {
 public:
  CParameters();
  CParameters(const CParameters& other);
  CParameters& operator=(const CParameters& other);
  CParameters(CParameters&& other) noexcept;
  CParameters& operator=(CParameters&& other) noexcept;
  ~CParameters() override;

  int GetSize() const { return static_cast<int>(m_items.size()); }
  CParameter& ElementAt(int i) { return m_items.at(static_cast<std::size_t>(i)); }
  const CParameter& ElementAt(int i) const { return m_items.at(static_cast<std::size_t>(i)); }
  CParameter GetAt(int i) const { return ElementAt(i); }

  // Index of the item with that name (exact, case-sensitive), or -1. A hash
  // lookup while the index holds one entry per item; with duplicate names
  // (only an archive or a direct write can make them) a scan finds the first.
  int Find(std::string_view name) const;
  int Find(const std::string& name) const { return Find(std::string_view(name)); }
  int Find(const char* name) const { return Find(std::string_view(name)); }

  // Getters by name: 1 and the value, or 0 with out untouched when the name
  // is absent or the item has another type.
  int GetParameter(const std::string& name, CParameter& out) const;
  int GetString(const std::string& name, std::string& out) const;
  int GetInt(const std::string& name, int& out) const;

  // The named nested collection, created (as a new nested item at the end)
  // when absent. An existing item of another type keeps its type.
  CParameters* GetParameters(const std::string& name);

  // Adds the item at the end, or assigns it over the item of the same name;
  // returns its index.
  int SetParameter(const CParameter& item);
  int SetParameter(CParameter&& item);
  void SetString(const std::string& name, const std::string& text);
  void SetInt(const std::string& name, int value);
  void SetParameters(const std::string& name, const CParameters& value);

  void Remove(const std::string& name);
  void RemoveAll();
  // Deep copies of the source's items, in order.
  void Copy(const CParameters& source);
  void RebuildIndex();
  // out becomes the leaf items of this tree with dotted path names (A.B.c).
  void Flatten(CParameters& out) const;

  // The text form: each item's text followed by "<@&@>".
  std::string ToString() const;
  // 1 on success. Empties the collection first; on failure it keeps the items
  // read before the failing one.
  int FromString(const std::string& text);
  int FromString(const char* text);

  // The archive form: a 32-bit count, then each item's record. Loading throws
  // CArchiveException on malformed input and leaves the collection empty.
  void Serialize(CArchive& ar) override;

 private:
  void FlattenInto(CParameters& out, const std::string& prefix, int depth) const;
  int Append(CParameter&& item);

  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>{}(s);
    }
  };

  std::vector<CParameter> m_items;
  std::unordered_map<std::string, int, NameHash, std::equal_to<>> m_index;
};
