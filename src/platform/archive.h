// The archive: the binary form in which objects store themselves and load
// themselves back, byte for byte the form that the device and parameter
// classes promise (little-endian integers, the length-prefixed string, the
// counted byte array, and objects written through a pointer with a class
// record so that loading creates an object of the right class).
//
// An archive either stores (it appends to an internal byte buffer that
// GetBuffer or SaveFile hands out) or loads (it reads from a byte buffer it
// owns). Input may be hostile: every read is checked against the bytes that
// are left, and anything malformed throws CArchiveException. Nothing is ever
// read out of bounds, and no count read from the input is allocated before it
// has been checked against what the rest of the input could hold.
//
// Threads: an archive belongs to the one thread that uses it. Nothing blocks,
// except SaveFile and LoadFile on the file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class CArchive;
class CObject;

// The archive's own error. Callers that load untrusted input catch it; the
// partly loaded objects have been destroyed by the time it reaches them.
class CArchiveException : public std::runtime_error {
 public:
  enum Cause {
    generic,
    endOfFile,    // the input ended inside a value
    badIndex,     // an object or class record names an index never written
    badClass,     // a class record names a class that cannot be created here
    badSchema,    // a non-versionable class with another schema number
    badFormat,    // a value the writer never produces (string prefix FF FEFF)
    tooLarge,     // a count larger than what the rest of the input could hold
    tooDeep,      // nesting beyond kMaxNesting
    wrongMode,    // a read on a storing archive or a write on a loading one
    fileError,    // SaveFile/LoadFile could not use the file
  };
  CArchiveException(Cause cause, const std::string& what);
  Cause m_cause;
};

// A class that objects can be created from by name when an archive loads them.
// Declared by DECLARE_RUNTIME_CLASS and defined by IMPLEMENT_RUNTIME_CLASS
// below; a constant, so it exists before any constructor runs.
struct CRuntimeClass {
  const char* m_lpszClassName;
  unsigned m_wSchema;                // stored as 16 bits
  bool m_bVersionable;               // load accepts any schema number
  CObject* (*m_pfnCreateObject)();   // null: the class cannot be created by name
  const CRuntimeClass* m_pBaseClass; // null only for CObject

  // A new object of this class, or null when it has no factory.
  CObject* CreateObject() const;
  bool IsDerivedFrom(const CRuntimeClass* base) const;

  // The registry used by loading. Register is called by the static object that
  // IMPLEMENT_RUNTIME_CLASS defines; the same class may be registered twice.
  // Any thread; do not register while another thread loads.
  static void Register(const CRuntimeClass* runtimeClass);
  static const CRuntimeClass* FromName(const std::string& name);
};

// Registers a runtime class during static initialisation.
struct CRuntimeClassRegistrar {
  explicit CRuntimeClassRegistrar(const CRuntimeClass* runtimeClass) {
    CRuntimeClass::Register(runtimeClass);
  }
};

// The root of every class that an archive writes through a pointer.
class CObject {
 public:
  static const CRuntimeClass classCObject;

  virtual ~CObject();
  virtual const CRuntimeClass* GetRuntimeClass() const;
  // Stores or loads this object's own data (ar.IsStoring() tells which).
  virtual void Serialize(CArchive& ar);

  bool IsKindOf(const CRuntimeClass* runtimeClass) const;

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};

// How a class declares and registers its runtime class:
//
//   // device_serial.h
//   class CDeviceSerial : public CDeviceBase {
//     DECLARE_RUNTIME_CLASS(CDeviceSerial)
//    public:
//     CDeviceSerial();                       // the factory needs a default constructor
//     void Serialize(CArchive& ar) override;
//     ...
//   };
//
//   // device_serial.cpp
//   IMPLEMENT_RUNTIME_CLASS(CDeviceSerial, CDeviceBase, 2, true)  // schema 2, versionable
//
// RUNTIME_CLASS(CDeviceSerial) then names the record. A class is found by name
// once its .cpp file is linked into the program: static libraries drop unused
// object files, so a test that loads a class it never names elsewhere should
// mention RUNTIME_CLASS(...) to pull its file in.
#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_RUNTIME_CLASS(class_name)                     \
 public:                                                      \
  static const CRuntimeClass class##class_name;               \
  const CRuntimeClass* GetRuntimeClass() const override;      \
  static CObject* CreateObject();                             \
                                                              \
 private:

#define IMPLEMENT_RUNTIME_CLASS(class_name, base_name, schema, versionable)          \
  CObject* class_name::CreateObject() { return new class_name; }                     \
  const CRuntimeClass class_name::class##class_name = {                               \
      #class_name, (schema), (versionable), &class_name::CreateObject,                \
      RUNTIME_CLASS(base_name)};                                                      \
  const CRuntimeClass* class_name::GetRuntimeClass() const {                          \
    return RUNTIME_CLASS(class_name);                                                 \
  }                                                                                   \
  static const CRuntimeClassRegistrar quillonRegister##class_name(RUNTIME_CLASS(class_name));

class CArchive {
 public:
  enum Mode { store, load };

  // Nested structures that loaders may enter before the archive refuses.
  static constexpr int kMaxNesting = 64;

  // A storing archive with an empty buffer, or a loading archive over data.
  CArchive();
  explicit CArchive(Mode mode);
  explicit CArchive(std::vector<std::uint8_t> data);
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;
  ~CArchive();

  bool IsStoring() const { return m_mode == store; }
  bool IsLoading() const { return m_mode == load; }

  // Storing: what has been written so far. Loading: the whole input.
  const std::vector<std::uint8_t>& GetBuffer() const { return m_buffer; }
  // Loading: bytes not yet read.
  std::size_t GetRemaining() const { return m_buffer.size() - m_position; }

  // Files. SaveFile writes the stored bytes (1 on success, 0 on failure);
  // LoadFile turns this archive into a loading archive over the file's bytes
  // (1 on success, 0 when the file cannot be read; the archive is then empty).
  // Both refuse a path that is not a regular file (a FIFO, a folder, a device).
  int SaveFile(const std::string& path) const;
  int LoadFile(const std::string& path);

  // Little-endian integers and raw bytes.
  void WriteUInt8(std::uint8_t v);
  void WriteUInt16(std::uint16_t v);
  void WriteUInt32(std::uint32_t v);
  void WriteUInt64(std::uint64_t v);
  void WriteInt32(std::int32_t v);
  void WriteRaw(const void* data, std::size_t size);
  std::uint8_t ReadUInt8();
  std::uint16_t ReadUInt16();
  std::uint32_t ReadUInt32();
  std::uint64_t ReadUInt64();
  std::int32_t ReadInt32();
  void ReadRaw(void* data, std::size_t size);

  // Text: a length prefix (one byte below 255; FF and 16 bits below 0xFFFE;
  // FF FFFF and 32 bits otherwise), then the bytes, no terminator.
  void WriteString(const std::string& text);
  std::string ReadString();

  // Byte arrays: a 16-bit count (FFFF and a 32-bit count from 0xFFFF on),
  // then the bytes.
  void WriteByteArray(const std::vector<std::uint8_t>& bytes);
  void ReadByteArray(std::vector<std::uint8_t>& bytes);

  // Objects through a pointer. Null writes the tag 0000; the first object of a
  // class writes FFFF, the schema (16 bits), the class name's length (16 bits)
  // and bytes; a later one of that class writes 8000|class index; an object
  // written again writes only its index. Classes and objects share one index
  // sequence from 1. The object's own Serialize follows a new record.
  void WriteObject(const CObject* object);
  // Loads one object record: null for the null tag, otherwise a new object
  // that the caller owns. A record that refers back to an object read earlier
  // in this archive throws (use ReadObjectRecord for shared objects).
  std::unique_ptr<CObject> ReadObject();
  // As ReadObject, also for back-references: returns the object; a new one is
  // handed over in owned, a back-reference leaves owned empty and returns the
  // object read earlier (still owned by whoever took it then).
  CObject* ReadObjectRecord(std::unique_ptr<CObject>& owned);
  // Loading, inside an object's Serialize: the schema number that the
  // archive holds for the object's class (a versionable class accepts any
  // number and may look at it here); -1 outside a loading Serialize.
  int GetObjectSchema() const { return m_nObjectSchema; }

  // Throws tooLarge unless count items of at least minBytesEach could still
  // follow; loaders call it before they allocate for a count they have read.
  void CheckCount(std::int64_t count, std::size_t minBytesEach) const;

  // Loaders of nested structures hold one of these per level; the 65th level
  // throws tooDeep, so crafted input cannot exhaust the stack.
  class NestingScope {
   public:
    explicit NestingScope(CArchive& ar);
    ~NestingScope();
    NestingScope(const NestingScope&) = delete;
    NestingScope& operator=(const NestingScope&) = delete;

   private:
    CArchive& m_ar;
  };

 private:
  void RequireStoring() const;
  void RequireLoading() const;
  const std::uint8_t* Take(std::size_t size);
  std::size_t ReadClassRecord(std::uint16_t tag);

  Mode m_mode;
  std::vector<std::uint8_t> m_buffer;
  std::size_t m_position = 0;
  int m_nDepth = 0;
  int m_nObjectSchema = -1;
  // Storing: index given to each class and object written so far.
  std::unordered_map<const void*, std::uint32_t> m_storeMap;
  // Loading: what each index stands for (a class or an object).
  struct LoadEntry {
    const CRuntimeClass* runtimeClass;  // a class entry: its class and
    CObject* object;                    // an object entry: its object
    int schema;                         // a class entry: the schema read
  };
  std::vector<LoadEntry> m_loadMap;  // element 0 is the null entry
  std::uint32_t m_nMapCount = 1;
};
