// One named, typed value: text, a byte array, a nested collection or one of
// ten numeric types. Items describe device identity and settings, the
// statistics and the list control's own settings; collections of them
// (CParameters) form trees.
//
// Storage rules: changing the type neither frees nor clears the other
// storages (a text item turned into an int keeps its text; a byte array or
// nested collection, once created, lives as long as the item), and a numeric
// setter or loader writes only its own bytes of m_value.
//
// Threads: an item takes no locks; its owner serialises access. Nothing
// blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CArchive;
class CParameters;

enum ParameterType : int {
  PT_EMPTY = 0,
  PT_STRING,
  PT_BYTES,
  PT_PARAMETERS,
  PT_LONG,    // 32 bits, like PT_INT, but a type of its own
  PT_ULONG,
  PT_INT,
  PT_UINT,
  PT_SHORT,
  PT_USHORT,
  PT_CHAR,
  PT_UCHAR,
  PT_FLOAT,
  PT_DOUBLE
};

class CParameter {
 public:
  // An empty text item with an empty name and all of m_value zero.
  CParameter();
  CParameter(const std::string& name, const std::string& text);
  CParameter(const char* name, const char* text);
  CParameter(const std::string& name, const char* text);
  CParameter(const char* name, const std::string& text);
  CParameter(const char* name, int value);
  CParameter(const std::string& name, int value);
  CParameter(const std::string& name, const CParameters& value);
  CParameter(const char* name, const CParameters& value);

  // Copies are deep. Assignment copies name, type and m_value, the text
  // whatever the type, and the byte array and nested collection when the
  // source has them; storages the source lacks stay as they were.
  CParameter(const CParameter& other);
  CParameter& operator=(const CParameter& other);
  // A move constructor hands the owned storages over, so a nested collection
  // keeps its address when the array of items that holds this item grows.
  // The moved-from item may only be destroyed or assigned to.
  CParameter(CParameter&& other) noexcept;
  // Move assignment gives the result of the copy assignment above (this
  // item keeps its storage objects, so pointers into them stay valid) and
  // takes the source's contents instead of copying them.
  CParameter& operator=(CParameter&& other) noexcept;
  // Exchanges everything, storage objects included: items change places in
  // an array this way and their nested collections go with them.
  void Swap(CParameter& other) noexcept;
  ~CParameter();

  const std::string& GetName() const { return m_strName; }
  // "CString", "int", ...; empty for PT_EMPTY and unknown codes.
  std::string GetTypeName() const;
  // "CS", "i4", ...; "EP" for PT_EMPTY, "UK" for unknown codes.
  std::string GetTypeTag() const;
  // The display text of the list control: "COM1", "7", "CBA[7](0102030405)", "CP[4]".
  std::string GetValueText() const;

  void SetString(const std::string& text);
  void SetString(const char* text);
  void SetInt(int value);
  void SetParameters(const CParameters& value);

  // 1 and the value when the item has exactly that type; otherwise 0 and the
  // output untouched.
  int GetString(std::string& out) const;
  int GetInt(int& out) const;
  int GetParameters(CParameters& out) const;

  // The nested collection, created empty when absent; the type stays.
  CParameters* GetParametersPtr();
  void EnsureBytes();
  void EnsureParameters();

  // The text form: name<&@&>value<&@&>type name.
  void ToString(std::string& out) const;
  std::string ToString() const;
  int FromString(const std::string& text);
  int FromString(const char* text);

  // The archive record: type code, name, then the value of that type.
  // Loading throws CArchiveException on malformed input.
  void Serialize(CArchive& ar);

  std::string m_strName;
  std::int32_t m_nType;
  std::unique_ptr<std::string> m_pString;  // never null except after a move
  std::unique_ptr<std::vector<std::uint8_t>> m_pBytes;
  std::unique_ptr<CParameters> m_pParameters;
  alignas(8) std::uint8_t m_value[8];
};
