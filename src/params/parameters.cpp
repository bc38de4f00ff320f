#include "params/parameters.h"

#include <utility>

#include "params/parameter_text.h"

namespace {

constexpr const char* kItemSeparator = "<@&@>";

// The smallest archive record of an item: a 32-bit type code and a name with
// a one-byte length prefix.
constexpr std::size_t kMinItemRecord = 5;

}  // namespace

CParameters::CParameters() = default;

CParameters::CParameters(const CParameters& other) : CObject() { Copy(other); }

CParameters& CParameters::operator=(const CParameters& other) {
  Copy(other);
  return *this;
}

CParameters::CParameters(CParameters&& other) noexcept
    : CObject(), m_items(std::move(other.m_items)), m_index(std::move(other.m_index)) {
  other.m_items.clear();
  other.m_index.clear();
}

CParameters& CParameters::operator=(CParameters&& other) noexcept {
  if (this == &other) return *this;
  // Our old items die with `old`, after the source has been taken over: the
  // source may sit somewhere inside them.
  CParameters old(std::move(*this));
  m_items = std::move(other.m_items);
  m_index = std::move(other.m_index);
  other.m_items.clear();
  other.m_index.clear();
  return *this;
}

CParameters::~CParameters() = default;

// ---- lookup ----------------------------------------------------------------

int CParameters::Find(std::string_view name) const {
  if (m_index.size() == m_items.size()) {
    auto it = m_index.find(name);
    if (it == m_index.end()) return -1;
    if (it->second >= 0 && it->second < GetSize()) return it->second;
  }
  // Duplicate names (from an archive or a direct write) leave the index short
  // of entries; then the first item of that name counts.
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i].m_strName == name) return static_cast<int>(i);
  }
  return -1;
}

int CParameters::GetParameter(const std::string& name, CParameter& out) const {
  const int i = Find(name);
  if (i < 0) return 0;
  out = m_items[i];
  return 1;
}

int CParameters::GetString(const std::string& name, std::string& out) const {
  const int i = Find(name);
  return i < 0 ? 0 : m_items[i].GetString(out);
}

int CParameters::GetInt(const std::string& name, int& out) const {
  const int i = Find(name);
  return i < 0 ? 0 : m_items[i].GetInt(out);
}

CParameters* CParameters::GetParameters(const std::string& name) {
  int i = Find(name);
  if (i < 0) i = Append(CParameter(name, CParameters()));
  return m_items[i].GetParametersPtr();
}

// ---- changes ---------------------------------------------------------------

int CParameters::Append(CParameter&& item) {
  const int i = GetSize();
  m_items.push_back(std::move(item));
  m_index.insert_or_assign(m_items.back().m_strName, i);
  return i;
}

int CParameters::SetParameter(const CParameter& item) {
  const int i = Find(item.m_strName);
  if (i < 0) return Append(CParameter(item));
  m_items[i] = item;
  return i;
}

int CParameters::SetParameter(CParameter&& item) {
  const int i = Find(item.m_strName);
  if (i < 0) return Append(std::move(item));
  // Assignment, not a move: the item in place keeps the storages that the
  // new one lacks, and its nested collection keeps its address.
  m_items[i] = item;
  return i;
}

void CParameters::SetString(const std::string& name, const std::string& text) {
  const int i = Find(name);
  if (i < 0) {
    Append(CParameter(name, text));
  } else {
    m_items[i].SetString(text);
  }
}

void CParameters::SetInt(const std::string& name, int value) {
  const int i = Find(name);
  if (i < 0) {
    Append(CParameter(name, value));
  } else {
    m_items[i].SetInt(value);
  }
}

void CParameters::SetParameters(const std::string& name, const CParameters& value) {
  const int i = Find(name);
  if (i < 0) {
    Append(CParameter(name, value));
  } else {
    m_items[i].SetParameters(value);
  }
}

void CParameters::Remove(const std::string& name) {
  const int i = Find(name);
  if (i < 0) return;
  // Later items move down by swapping, so their nested collections move with
  // them and pointers to those stay valid.
  for (std::size_t k = static_cast<std::size_t>(i); k + 1 < m_items.size(); ++k) {
    m_items[k].Swap(m_items[k + 1]);
  }
  m_items.pop_back();
  RebuildIndex();
}

void CParameters::RemoveAll() {
  // Swap out first: an item's destructor must not see a half-cleared array.
  std::vector<CParameter> items;
  items.swap(m_items);
  m_index.clear();
}

void CParameters::Copy(const CParameters& source) {
  if (&source == this) return;
  // Copy before letting go of the old items: the source may be nested inside
  // one of them.
  std::vector<CParameter> items(source.m_items);
  m_items.swap(items);
  RebuildIndex();
}

void CParameters::RebuildIndex() {
  m_index.clear();
  m_index.reserve(m_items.size() + 10);
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    m_index.insert_or_assign(m_items[i].m_strName, static_cast<int>(i));
  }
}

void CParameters::Flatten(CParameters& out) const {
  if (&out == this) {
    CParameters flat;
    FlattenInto(flat, std::string(), 0);
    out = std::move(flat);
    return;
  }
  out.RemoveAll();
  FlattenInto(out, std::string(), 0);
}

void CParameters::FlattenInto(CParameters& out, const std::string& prefix, int depth) const {
  for (const CParameter& item : m_items) {
    if (item.m_nType == PT_PARAMETERS) {
      if (!item.m_pParameters) continue;
      const std::string path = depth == 0 ? item.m_strName : prefix + "." + item.m_strName;
      item.m_pParameters->FlattenInto(out, path, depth + 1);
      continue;
    }
    CParameter leaf(item);
    if (depth > 0) leaf.m_strName = prefix + "." + item.m_strName;
    out.SetParameter(std::move(leaf));
  }
}

// ---- text form -------------------------------------------------------------

std::string CParameters::ToString() const {
  if (m_items.empty()) return std::string();
  std::vector<std::string> texts(m_items.size());
  std::size_t total = 0;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    m_items[i].ToString(texts[i]);
    total += texts[i].size() + 5;
  }
  std::string out;
  out.reserve(total);  // exactly the result: joining never reallocates
  for (const std::string& text : texts) out.append(text).append(kItemSeparator);
  return out;
}

int CParameters::FromString(const std::string& text) {
  RemoveAll();
  if (text.empty()) return 1;
  std::vector<std::string> fields;
  SplitString(text, kItemSeparator, fields);
  m_items.reserve(fields.size());
  m_index.reserve(fields.size() + 10);
  for (const std::string& field : fields) {
    CParameter item;
    if (!item.FromString(field)) return 0;
    SetParameter(std::move(item));
  }
  return 1;
}

int CParameters::FromString(const char* text) { return FromString(std::string(text ? text : "")); }

// ---- archive ---------------------------------------------------------------

void CParameters::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteInt32(GetSize());
    for (CParameter& item : m_items) item.Serialize(ar);
    return;
  }
  RemoveAll();
  CArchive::NestingScope nesting(ar);
  const std::int32_t count = ar.ReadInt32();
  // A count of 0 or less holds no items; the records after it still belong
  // to whoever reads on.
  if (count > 0) {
    // A damaged count is refused at once when the rest of the input could
    // not hold that many items of kMinItemRecord bytes.
    ar.CheckCount(count, kMinItemRecord);
    try {
      // Items are added as their records are read, never ahead of them: the
      // count of every nested level is checked against the same remaining
      // bytes, so allocating by the counts would cost the sum over all
      // levels. This way memory follows the bytes actually read.
      for (std::int32_t i = 0; i < count; ++i) {
        m_items.emplace_back();
        m_items.back().Serialize(ar);
      }
    } catch (...) {
      RemoveAll();
      throw;
    }
  }
  RebuildIndex();
}
