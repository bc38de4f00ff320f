#include "params/parameter.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "params/parameter_text.h"
#include "params/parameters.h"
#include "platform/archive.h"
#include "platform/text.h"

namespace {

constexpr const char* kFieldSeparator = "<&@&>";

struct TypeInfo {
  const char* tag;
  const char* name;
  int width;  // bytes of m_value the type uses; 0 for the non-numeric types
};

constexpr TypeInfo kTypes[] = {
    {"EP", "", 0},
    {"CS", "CString", 0},
    {"CBA", "CByteArray", 0},
    {"CP", "CParameters", 0},
    {"i4l", "long", 4},
    {"u4l", "unsigned long", 4},
    {"i4", "int", 4},
    {"u4", "unsigned int", 4},
    {"i2", "short", 2},
    {"u2", "unsigned short", 2},
    {"i1", "char", 1},
    {"u1", "unsigned char", 1},
    {"f4", "float", 4},
    {"f8", "double", 8},
};
constexpr int kTypeCount = static_cast<int>(sizeof kTypes / sizeof kTypes[0]);

const TypeInfo* InfoOf(std::int32_t type) {
  return type >= 0 && type < kTypeCount ? &kTypes[type] : nullptr;
}

// m_value holds its numbers least significant byte first, whatever the host.
std::uint64_t LoadLE(const std::uint8_t* p, int width) {
  std::uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void StoreLE(std::uint8_t* p, std::uint64_t v, int width) {
  for (int i = 0; i < width; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

}  // namespace

// ---- construction ----------------------------------------------------------

CParameter::CParameter() : m_nType(PT_STRING), m_pString(std::make_unique<std::string>()) {
  std::memset(m_value, 0, sizeof m_value);
}

CParameter::CParameter(const std::string& name, const std::string& text) : CParameter() {
  m_strName = name;
  *m_pString = text;
}

CParameter::CParameter(const char* name, const char* text)
    : CParameter(std::string(name ? name : ""), std::string(text ? text : "")) {}

CParameter::CParameter(const std::string& name, const char* text)
    : CParameter(name, std::string(text ? text : "")) {}

CParameter::CParameter(const char* name, const std::string& text)
    : CParameter(std::string(name ? name : ""), text) {}

CParameter::CParameter(const std::string& name, int value) : CParameter() {
  m_strName = name;
  SetInt(value);
}

CParameter::CParameter(const char* name, int value) : CParameter(std::string(name ? name : ""), value) {}

CParameter::CParameter(const std::string& name, const CParameters& value) : CParameter() {
  m_strName = name;
  SetParameters(value);
}

CParameter::CParameter(const char* name, const CParameters& value)
    : CParameter(std::string(name ? name : ""), value) {}

CParameter::CParameter(const CParameter& other) : CParameter() { *this = other; }

CParameter& CParameter::operator=(const CParameter& other) {
  if (this == &other) return *this;
  // The source may live inside this item's own nested collection; it is read
  // completely before that collection's old contents go.
  std::unique_ptr<CParameters> nestedCopy;
  if (other.m_pParameters) nestedCopy = std::make_unique<CParameters>(*other.m_pParameters);
  m_strName = other.m_strName;
  m_nType = other.m_nType;
  std::memcpy(m_value, other.m_value, sizeof m_value);
  if (!m_pString) m_pString = std::make_unique<std::string>();
  *m_pString = other.m_pString ? *other.m_pString : EmptyText();
  if (other.m_pBytes) {
    EnsureBytes();
    *m_pBytes = *other.m_pBytes;
  }
  if (nestedCopy) {
    // Keep our collection object, so pointers callers hold into it stay valid.
    EnsureParameters();
    std::swap(*m_pParameters, *nestedCopy);
  }
  return *this;
}

CParameter::CParameter(CParameter&& other) noexcept
    : m_strName(std::move(other.m_strName)),
      m_nType(other.m_nType),
      m_pString(std::move(other.m_pString)),
      m_pBytes(std::move(other.m_pBytes)),
      m_pParameters(std::move(other.m_pParameters)) {
  std::memcpy(m_value, other.m_value, sizeof m_value);
}

CParameter& CParameter::operator=(CParameter&& other) noexcept {
  if (this == &other) return *this;
  // The same result as a copy, without copying: this item keeps its own
  // storage objects (a caller may hold a pointer to its nested collection)
  // and takes over their contents. The source is emptied first, because it
  // may sit inside our nested collection, whose old contents go below.
  std::string name = std::move(other.m_strName);
  std::unique_ptr<std::string> text = std::move(other.m_pString);
  std::unique_ptr<std::vector<std::uint8_t>> bytes = std::move(other.m_pBytes);
  std::unique_ptr<CParameters> nested = std::move(other.m_pParameters);
  m_strName = std::move(name);
  m_nType = other.m_nType;
  std::memcpy(m_value, other.m_value, sizeof m_value);
  if (!m_pString) {
    m_pString = text ? std::move(text) : std::make_unique<std::string>();
  } else if (text) {
    *m_pString = std::move(*text);
  } else {
    m_pString->clear();
  }
  if (bytes) {
    if (m_pBytes) {
      *m_pBytes = std::move(*bytes);
    } else {
      m_pBytes = std::move(bytes);
    }
  }
  if (nested) {
    if (m_pParameters) {
      *m_pParameters = std::move(*nested);
    } else {
      m_pParameters = std::move(nested);
    }
  }
  return *this;
}

void CParameter::Swap(CParameter& other) noexcept {
  m_strName.swap(other.m_strName);
  std::swap(m_nType, other.m_nType);
  m_pString.swap(other.m_pString);
  m_pBytes.swap(other.m_pBytes);
  m_pParameters.swap(other.m_pParameters);
  std::uint8_t value[8];
  std::memcpy(value, m_value, sizeof value);
  std::memcpy(m_value, other.m_value, sizeof value);
  std::memcpy(other.m_value, value, sizeof value);
}

CParameter::~CParameter() = default;

// ---- accessors -------------------------------------------------------------

std::string CParameter::GetTypeName() const {
  const TypeInfo* info = InfoOf(m_nType);
  return info ? info->name : "";
}

std::string CParameter::GetTypeTag() const {
  const TypeInfo* info = InfoOf(m_nType);
  return info ? info->tag : "UK";
}

std::string CParameter::GetValueText() const {
  const std::uint8_t* v = m_value;
  switch (m_nType) {
    case PT_STRING:
      return m_pString ? *m_pString : EmptyText();
    case PT_BYTES: {
      if (!m_pBytes) return "";
      const std::size_t preview = std::min<std::size_t>(m_pBytes->size(), 5);
      return StrFormat("CBA[%d](%s)", static_cast<int>(m_pBytes->size()),
                       BufferToHex(m_pBytes->data(), preview).c_str());
    }
    case PT_PARAMETERS:
      return m_pParameters ? StrFormat("CP[%d]", m_pParameters->GetSize()) : "";
    case PT_LONG:
    case PT_INT:
      return StrFormat("%d", static_cast<std::int32_t>(LoadLE(v, 4)));
    case PT_ULONG:
    case PT_UINT:
      return StrFormat("%u", static_cast<std::uint32_t>(LoadLE(v, 4)));
    case PT_SHORT:
      return StrFormat("%d", static_cast<int>(static_cast<std::int16_t>(LoadLE(v, 2))));
    case PT_USHORT:
      return StrFormat("%u", static_cast<unsigned>(static_cast<std::uint16_t>(LoadLE(v, 2))));
    case PT_CHAR:
      return StrFormat("%d", static_cast<int>(static_cast<std::int8_t>(v[0])));
    case PT_UCHAR:
      return StrFormat("%u", static_cast<unsigned>(v[0]));
    case PT_FLOAT: {
      const std::uint32_t bits = static_cast<std::uint32_t>(LoadLE(v, 4));
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return StrFormat("%f", static_cast<double>(f));
    }
    case PT_DOUBLE: {
      const std::uint64_t bits = LoadLE(v, 8);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return StrFormat("%f", d);
    }
    default:
      return "";
  }
}

// ---- setters and getters ---------------------------------------------------

void CParameter::SetString(const std::string& text) {
  if (!m_pString) m_pString = std::make_unique<std::string>();
  *m_pString = text;
  m_nType = PT_STRING;
}

void CParameter::SetString(const char* text) { SetString(std::string(text ? text : "")); }

void CParameter::SetInt(int value) {
  m_nType = PT_INT;
  StoreLE(m_value, static_cast<std::uint32_t>(value), 4);
}

void CParameter::SetParameters(const CParameters& value) {
  EnsureParameters();
  m_pParameters->Copy(value);
  m_nType = PT_PARAMETERS;
}

int CParameter::GetString(std::string& out) const {
  if (m_nType != PT_STRING) return 0;
  out = m_pString ? *m_pString : EmptyText();
  return 1;
}

int CParameter::GetInt(int& out) const {
  if (m_nType != PT_INT) return 0;
  out = static_cast<std::int32_t>(LoadLE(m_value, 4));
  return 1;
}

int CParameter::GetParameters(CParameters& out) const {
  if (m_nType != PT_PARAMETERS || !m_pParameters) return 0;
  out.Copy(*m_pParameters);
  return 1;
}

CParameters* CParameter::GetParametersPtr() {
  EnsureParameters();
  return m_pParameters.get();
}

void CParameter::EnsureBytes() {
  if (!m_pBytes) m_pBytes = std::make_unique<std::vector<std::uint8_t>>();
}

void CParameter::EnsureParameters() {
  if (!m_pParameters) m_pParameters = std::make_unique<CParameters>();
}

// ---- text form -------------------------------------------------------------

void CParameter::ToString(std::string& out) const {
  std::string value;
  switch (m_nType) {
    case PT_STRING:
      value = m_pString ? *m_pString : EmptyText();
      break;
    case PT_BYTES:
      if (m_pBytes) value = BytesToHex(*m_pBytes);
      break;
    case PT_PARAMETERS:
      if (m_pParameters) value = StringToHex(m_pParameters->ToString());
      break;
    default:
      value = BufferToHex(m_value, sizeof m_value);
      break;
  }
  const std::string typeName = GetTypeName();
  out.clear();
  out.reserve(m_strName.size() + value.size() + typeName.size() + 10);
  out.append(m_strName).append(kFieldSeparator).append(value).append(kFieldSeparator).append(typeName);
}

std::string CParameter::ToString() const {
  std::string out;
  ToString(out);
  return out;
}

int CParameter::FromString(const std::string& text) {
  std::vector<std::string> fields;
  SplitString(text, kFieldSeparator, fields);
  if (fields.size() != 3) return 0;
  m_strName = fields[0];
  const std::string& typeName = fields[2];
  if (typeName == "CString") {
    SetString(fields[1]);
    return 1;
  }
  if (typeName == "CByteArray") {
    EnsureBytes();
    m_nType = PT_BYTES;
    return HexToBytes(fields[1], *m_pBytes);
  }
  if (typeName == "CParameters") {
    EnsureParameters();
    m_nType = PT_PARAMETERS;
    std::string nested;
    HexToString(fields[1], nested);
    return m_pParameters->FromString(nested);
  }
  for (int code = PT_LONG; code < kTypeCount; ++code) {
    if (typeName == kTypes[code].name) {
      m_nType = code;
      return HexToBuffer(fields[1], m_value, sizeof m_value);
    }
  }
  return 1;  // an unknown type name changes only the name
}

int CParameter::FromString(const char* text) { return FromString(std::string(text ? text : "")); }

// ---- archive ---------------------------------------------------------------

void CParameter::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteInt32(m_nType);
    ar.WriteString(m_strName);
    switch (m_nType) {
      case PT_STRING:
        ar.WriteString(m_pString ? *m_pString : EmptyText());
        break;
      case PT_BYTES:
        // An item whose array was never created still writes an (empty)
        // array, so that the record reads back and the records after it stay
        // in step.
        ar.WriteByteArray(m_pBytes ? *m_pBytes : std::vector<std::uint8_t>());
        break;
      case PT_PARAMETERS:
        if (m_pParameters) {
          m_pParameters->Serialize(ar);
        } else {
          ar.WriteInt32(0);
        }
        break;
      default:
        if (const TypeInfo* info = InfoOf(m_nType)) ar.WriteRaw(m_value, info->width);
        break;
    }
    return;
  }
  m_nType = ar.ReadInt32();
  m_strName = ar.ReadString();
  switch (m_nType) {
    case PT_STRING:
      if (!m_pString) m_pString = std::make_unique<std::string>();
      *m_pString = ar.ReadString();
      break;
    case PT_BYTES:
      EnsureBytes();
      ar.ReadByteArray(*m_pBytes);
      break;
    case PT_PARAMETERS:
      EnsureParameters();
      m_pParameters->Serialize(ar);
      break;
    default:
      if (const TypeInfo* info = InfoOf(m_nType)) ar.ReadRaw(m_value, info->width);
      break;
  }
}
