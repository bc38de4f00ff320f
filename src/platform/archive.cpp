#include "platform/archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/regular_file.h"

namespace {

// Tags of the object record.
constexpr std::uint16_t kNullTag = 0x0000;
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
// Marks the 32-bit escape for indices that do not fit in 15 bits. We never
// write it and refuse to read it: no archive of ours holds that many records.
constexpr std::uint16_t kBigObjectTag = 0x7FFF;

std::map<std::string, const CRuntimeClass*>& Registry() {
  static std::map<std::string, const CRuntimeClass*> registry;
  return registry;
}

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

CArchiveException::CArchiveException(Cause cause, const std::string& what)
    : std::runtime_error(what), m_cause(cause) {}

// ---- runtime classes -------------------------------------------------------

const CRuntimeClass CObject::classCObject = {"CObject", 0xFFFF, false, nullptr, nullptr};

CObject* CRuntimeClass::CreateObject() const {
  return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
    if (c == base) return true;
  }
  return false;
}

void CRuntimeClass::Register(const CRuntimeClass* runtimeClass) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry()[runtimeClass->m_lpszClassName] = runtimeClass;
}

const CRuntimeClass* CRuntimeClass::FromName(const std::string& name) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  auto it = Registry().find(name);
  return it == Registry().end() ? nullptr : it->second;
}

CObject::~CObject() = default;

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const CRuntimeClass* runtimeClass) const {
  return GetRuntimeClass()->IsDerivedFrom(runtimeClass);
}

// ---- archive ---------------------------------------------------------------

CArchive::CArchive() : CArchive(store) {}

CArchive::CArchive(Mode mode) : m_mode(mode) { m_loadMap.push_back({nullptr, nullptr, -1}); }

CArchive::CArchive(std::vector<std::uint8_t> data) : m_mode(load), m_buffer(std::move(data)) {
  m_loadMap.push_back({nullptr, nullptr, -1});
}

CArchive::~CArchive() = default;

int CArchive::SaveFile(const std::string& path) const {
  // The cause is not kept: SaveFile answers 1 or 0 (see archive.h).
  int fd = -1;
  (void)OpenRegularFile(path, O_WRONLY | O_CREAT | O_TRUNC, &fd);
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (!file) {
    if (fd >= 0) close(fd);
    return 0;
  }
  bool ok = m_buffer.empty() || std::fwrite(m_buffer.data(), 1, m_buffer.size(), file) == m_buffer.size();
  ok = (std::fclose(file) == 0) && ok;
  return ok ? 1 : 0;
}

int CArchive::LoadFile(const std::string& path) {
  m_mode = load;
  m_buffer.clear();
  m_position = 0;
  m_nDepth = 0;
  m_nObjectSchema = -1;
  m_storeMap.clear();
  m_loadMap.assign(1, {nullptr, nullptr, -1});
  m_nMapCount = 1;
  // The cause is not kept: LoadFile answers 1 or 0 (see archive.h).
  int fd = -1;
  (void)OpenRegularFile(path, O_RDONLY, &fd);
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "rb");
  if (!file) {
    if (fd >= 0) close(fd);
    return 0;
  }
  std::uint8_t chunk[4096];
  bool ok = true;
  for (;;) {
    std::size_t n = std::fread(chunk, 1, sizeof chunk, file);
    m_buffer.insert(m_buffer.end(), chunk, chunk + n);
    if (n < sizeof chunk) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  if (!ok) m_buffer.clear();
  return ok ? 1 : 0;
}

void CArchive::RequireStoring() const {
  if (m_mode != store) throw CArchiveException(CArchiveException::wrongMode, "write on a loading archive");
}

void CArchive::RequireLoading() const {
  if (m_mode != load) throw CArchiveException(CArchiveException::wrongMode, "read on a storing archive");
}

const std::uint8_t* CArchive::Take(std::size_t size) {
  RequireLoading();
  if (size > GetRemaining()) {
    throw CArchiveException(CArchiveException::endOfFile, "archive ends inside a value");
  }
  const std::uint8_t* p = m_buffer.data() + m_position;
  m_position += size;
  return p;
}

void CArchive::WriteRaw(const void* data, std::size_t size) {
  RequireStoring();
  if (size == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  m_buffer.insert(m_buffer.end(), bytes, bytes + size);
}

void CArchive::ReadRaw(void* data, std::size_t size) {
  const std::uint8_t* p = Take(size);
  if (size) std::memcpy(data, p, size);
}

void CArchive::WriteUInt8(std::uint8_t v) { WriteRaw(&v, 1); }

void CArchive::WriteUInt16(std::uint16_t v) {
  const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
  WriteRaw(b, 2);
}

void CArchive::WriteUInt32(std::uint32_t v) {
  std::uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = std::uint8_t(v >> (8 * i));
  WriteRaw(b, 4);
}

void CArchive::WriteUInt64(std::uint64_t v) {
  std::uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = std::uint8_t(v >> (8 * i));
  WriteRaw(b, 8);
}

void CArchive::WriteInt32(std::int32_t v) { WriteUInt32(static_cast<std::uint32_t>(v)); }

std::uint8_t CArchive::ReadUInt8() { return *Take(1); }

std::uint16_t CArchive::ReadUInt16() {
  const std::uint8_t* p = Take(2);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t CArchive::ReadUInt32() {
  const std::uint8_t* p = Take(4);
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

std::uint64_t CArchive::ReadUInt64() {
  const std::uint8_t* p = Take(8);
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

std::int32_t CArchive::ReadInt32() { return static_cast<std::int32_t>(ReadUInt32()); }

void CArchive::CheckCount(std::int64_t count, std::size_t minBytesEach) const {
  if (count < 0) throw CArchiveException(CArchiveException::tooLarge, "negative count in archive");
  if (minBytesEach == 0) minBytesEach = 1;
  if (static_cast<std::uint64_t>(count) > GetRemaining() / minBytesEach) {
    throw CArchiveException(CArchiveException::tooLarge, "count larger than the archive could hold");
  }
}

void CArchive::WriteString(const std::string& text) {
  RequireStoring();
  const std::size_t n = text.size();
  if (n < 0xFF) {
    WriteUInt8(static_cast<std::uint8_t>(n));
  } else if (n < 0xFFFE) {
    WriteUInt8(0xFF);
    WriteUInt16(static_cast<std::uint16_t>(n));
  } else if (n < 0xFFFFFFFFu) {
    WriteUInt8(0xFF);
    WriteUInt16(0xFFFF);
    WriteUInt32(static_cast<std::uint32_t>(n));
  } else {
    throw CArchiveException(CArchiveException::tooLarge, "string too long for the archive");
  }
  WriteRaw(text.data(), n);
}

std::string CArchive::ReadString() {
  std::size_t n = ReadUInt8();
  if (n == 0xFF) {
    const std::uint16_t n16 = ReadUInt16();
    if (n16 == 0xFFFE) {
      // The marker of a wide-character string: never written by us.
      throw CArchiveException(CArchiveException::badFormat, "wide string marker in archive");
    }
    if (n16 < 0xFFFE) {
      n = n16;
    } else {
      const std::uint32_t n32 = ReadUInt32();
      if (n32 == 0xFFFFFFFFu) {
        throw CArchiveException(CArchiveException::badFormat, "64-bit string length in archive");
      }
      n = n32;
    }
  }
  CheckCount(static_cast<std::int64_t>(n), 1);
  const std::uint8_t* p = Take(n);
  return std::string(reinterpret_cast<const char*>(p), n);
}

void CArchive::WriteByteArray(const std::vector<std::uint8_t>& bytes) {
  RequireStoring();
  const std::size_t n = bytes.size();
  if (n < 0xFFFF) {
    WriteUInt16(static_cast<std::uint16_t>(n));
  } else if (n < 0xFFFFFFFFu) {
    WriteUInt16(0xFFFF);
    WriteUInt32(static_cast<std::uint32_t>(n));
  } else {
    throw CArchiveException(CArchiveException::tooLarge, "byte array too long for the archive");
  }
  WriteRaw(bytes.data(), n);
}

void CArchive::ReadByteArray(std::vector<std::uint8_t>& bytes) {
  std::size_t n = ReadUInt16();
  if (n == 0xFFFF) {
    const std::uint32_t n32 = ReadUInt32();
    if (n32 == 0xFFFFFFFFu) {
      throw CArchiveException(CArchiveException::badFormat, "64-bit count in archive");
    }
    n = n32;
  }
  CheckCount(static_cast<std::int64_t>(n), 1);
  const std::uint8_t* p = Take(n);
  bytes.assign(p, p + n);
}

// ---- objects ---------------------------------------------------------------

void CArchive::WriteObject(const CObject* object) {
  RequireStoring();
  if (!object) {
    WriteUInt16(kNullTag);
    return;
  }
  auto seen = m_storeMap.find(object);
  if (seen != m_storeMap.end()) {
    if (seen->second >= kBigObjectTag) {
      throw CArchiveException(CArchiveException::badIndex, "object index too large for the archive");
    }
    WriteUInt16(static_cast<std::uint16_t>(seen->second));
    return;
  }
  const CRuntimeClass* runtimeClass = object->GetRuntimeClass();
  auto known = m_storeMap.find(runtimeClass);
  if (known != m_storeMap.end()) {
    if (known->second >= kBigObjectTag) {
      throw CArchiveException(CArchiveException::badIndex, "class index too large for the archive");
    }
    WriteUInt16(static_cast<std::uint16_t>(kClassTag | known->second));
  } else {
    const std::string name = runtimeClass->m_lpszClassName;
    if (name.size() > 0xFFFF) {
      throw CArchiveException(CArchiveException::badClass, "class name too long");
    }
    WriteUInt16(kNewClassTag);
    // Only the schema number is stored; the versionable mark is the loader's own.
    WriteUInt16(static_cast<std::uint16_t>(runtimeClass->m_wSchema));
    WriteUInt16(static_cast<std::uint16_t>(name.size()));
    WriteRaw(name.data(), name.size());
    m_storeMap[runtimeClass] = m_nMapCount++;
  }
  // The index is taken before the object's own data so that a reference to
  // itself inside that data resolves.
  m_storeMap[object] = m_nMapCount++;
  const_cast<CObject*>(object)->Serialize(*this);
}

std::size_t CArchive::ReadClassRecord(std::uint16_t tag) {
  if (tag != kNewClassTag) {
    const std::size_t index = tag & ~kClassTag;
    if (index >= m_loadMap.size() || !m_loadMap[index].runtimeClass) {
      throw CArchiveException(CArchiveException::badIndex, "class index never written");
    }
    return index;
  }
  const std::uint16_t schema = ReadUInt16();
  const std::uint16_t length = ReadUInt16();
  std::string name(length, '\0');
  ReadRaw(name.data(), length);
  const CRuntimeClass* runtimeClass = CRuntimeClass::FromName(name);
  if (!runtimeClass || !runtimeClass->m_pfnCreateObject) {
    throw CArchiveException(CArchiveException::badClass, "archive names an unknown class: " + name);
  }
  if (!runtimeClass->m_bVersionable && (runtimeClass->m_wSchema & 0xFFFF) != schema) {
    throw CArchiveException(CArchiveException::badSchema, "archive holds another schema of " + name);
  }
  m_loadMap.push_back({runtimeClass, nullptr, schema});
  return m_loadMap.size() - 1;
}

CObject* CArchive::ReadObjectRecord(std::unique_ptr<CObject>& owned) {
  owned.reset();
  const std::uint16_t tag = ReadUInt16();
  if (tag == kNullTag) return nullptr;
  if (tag == kBigObjectTag) {
    throw CArchiveException(CArchiveException::badIndex, "32-bit object index in archive");
  }
  if (!(tag & kClassTag)) {
    if (tag >= m_loadMap.size() || !m_loadMap[tag].object) {
      throw CArchiveException(CArchiveException::badIndex, "object index never written");
    }
    return m_loadMap[tag].object;
  }
  NestingScope nesting(*this);
  const LoadEntry classEntry = m_loadMap[ReadClassRecord(tag)];
  std::unique_ptr<CObject> object(classEntry.runtimeClass->CreateObject());
  const std::size_t objectIndex = m_loadMap.size();
  m_loadMap.push_back({nullptr, object.get(), -1});
  const int outerSchema = m_nObjectSchema;
  m_nObjectSchema = classEntry.schema;
  try {
    object->Serialize(*this);
  } catch (...) {
    // The object dies with this exception, and so does every object loaded
    // inside it (its children, owned by it or by its locals). A caller that
    // catches and reads on must not be handed any of their addresses by a
    // later back-reference. Class entries stay: classes do not die.
    for (std::size_t i = objectIndex; i < m_loadMap.size(); ++i) m_loadMap[i].object = nullptr;
    m_nObjectSchema = outerSchema;
    throw;
  }
  m_nObjectSchema = outerSchema;
  owned = std::move(object);
  return owned.get();
}

std::unique_ptr<CObject> CArchive::ReadObject() {
  std::unique_ptr<CObject> owned;
  CObject* object = ReadObjectRecord(owned);
  if (object && !owned) {
    throw CArchiveException(CArchiveException::badIndex,
                            "archive refers back to an object that has an owner already");
  }
  return owned;
}

CArchive::NestingScope::NestingScope(CArchive& ar) : m_ar(ar) {
  if (!m_ar.IsLoading()) return;
  if (m_ar.m_nDepth >= kMaxNesting) {
    throw CArchiveException(CArchiveException::tooDeep, "archive nests too deeply");
  }
  ++m_ar.m_nDepth;
}

CArchive::NestingScope::~NestingScope() {
  if (m_ar.IsLoading()) --m_ar.m_nDepth;
}
