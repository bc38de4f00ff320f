#include "platform/archive.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

void Append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// A node that owns an optional child written through a pointer: enough to
// build class records, repeated classes and nesting.
class CNode : public CObject {
  DECLARE_RUNTIME_CLASS(CNode)
 public:
  CNode() = default;
  explicit CNode(std::int32_t value) : m_nValue(value) {}
  void Serialize(CArchive& ar) override {
    if (ar.IsStoring()) {
      ar.WriteInt32(m_nValue);
      ar.WriteObject(m_pChild.get());
    } else {
      m_nSchemaSeen = ar.GetObjectSchema();
      m_nValue = ar.ReadInt32();
      std::unique_ptr<CObject> child = ar.ReadObject();
      if (child && !child->IsKindOf(RUNTIME_CLASS(CNode))) {
        throw CArchiveException(CArchiveException::badClass, "child is not a node");
      }
      m_pChild.reset(static_cast<CNode*>(child.release()));
    }
  }
  std::int32_t m_nValue = 0;
  int m_nSchemaSeen = -2;
  std::unique_ptr<CNode> m_pChild;
};
IMPLEMENT_RUNTIME_CLASS(CNode, CObject, 2, true)

class CFixed : public CObject {
  DECLARE_RUNTIME_CLASS(CFixed)
 public:
  CFixed() = default;
};
IMPLEMENT_RUNTIME_CLASS(CFixed, CObject, 3, false)

// A chain of n nodes as stored bytes, the deepest child last.
Bytes StoredChain(int n) {
  auto head = std::make_unique<CNode>(0);
  CNode* tail = head.get();
  for (int i = 1; i < n; ++i) {
    tail->m_pChild = std::make_unique<CNode>(i);
    tail = tail->m_pChild.get();
  }
  CArchive ar;
  ar.WriteObject(head.get());
  return ar.GetBuffer();
}

CArchiveException::Cause LoadFailure(const Bytes& bytes) {
  CArchive ar(bytes);
  try {
    ar.ReadObject();
  } catch (const CArchiveException& e) {
    return e.m_cause;
  }
  return CArchiveException::generic;
}

}  // namespace

TEST(Archive, IntegersAreLittleEndianAndReadingPastTheEndThrows) {
  CArchive out;
  out.WriteUInt8(0x12);
  out.WriteUInt16(0x3456);
  out.WriteUInt32(0x789ABCDE);
  out.WriteUInt64(0x0102030405060708ull);
  out.WriteInt32(-2);
  EXPECT_EQ(out.GetBuffer(), Of({0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78, 8, 7, 6, 5, 4, 3, 2, 1,
                                 0xFE, 0xFF, 0xFF, 0xFF}));

  CArchive in(out.GetBuffer());
  EXPECT_EQ(in.ReadUInt8(), 0x12);
  EXPECT_EQ(in.ReadUInt16(), 0x3456);
  EXPECT_EQ(in.ReadUInt32(), 0x789ABCDEu);
  EXPECT_EQ(in.ReadUInt64(), 0x0102030405060708ull);
  EXPECT_EQ(in.ReadInt32(), -2);
  std::uint8_t byte;
  EXPECT_THROW(in.ReadRaw(&byte, 1), CArchiveException);

  CArchive partial(Of({1, 2, 3}));
  try {
    partial.ReadUInt32();
    FAIL() << "read four bytes out of three";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
  }
  EXPECT_THROW(partial.WriteUInt8(1), CArchiveException);
  EXPECT_THROW(out.ReadUInt8(), CArchiveException);
}

TEST(Archive, StringPrefixGrowsAtEachLimitAndReadsBack) {
  struct Case {
    std::size_t length;
    Bytes prefix;
  };
  const Case cases[] = {
      {0, Of({0})},
      {254, Of({0xFE})},
      {255, Of({0xFF, 0xFF, 0x00})},
      {0xFFFD, Of({0xFF, 0xFD, 0xFF})},
      {0xFFFE, Of({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {0x10000, Of({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    std::string text(c.length, 'x');
    if (!text.empty()) text.back() = '\xB4';  // a GBK byte goes through untouched
    CArchive out;
    out.WriteString(text);
    const Bytes& buffer = out.GetBuffer();
    ASSERT_EQ(buffer.size(), c.prefix.size() + c.length) << c.length;
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.prefix.size()), c.prefix) << c.length;
    CArchive in(buffer);
    EXPECT_EQ(in.ReadString(), text) << c.length;
    EXPECT_EQ(in.GetRemaining(), 0u);
  }
}

TEST(Archive, MalformedStringsAndByteArraysFailWithoutAllocating) {
  struct Case {
    const char* what;
    Bytes bytes;
    CArchiveException::Cause cause;
  };
  const Case strings[] = {
      {"wide marker", Of({0xFF, 0xFE, 0xFF, 'a', 0}), CArchiveException::badFormat},
      {"64-bit escape", Of({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), CArchiveException::badFormat},
      {"3 GB promised, 1 byte given", Of({0xFF, 0xFF, 0xFF, 0, 0, 0, 0xC0, 'a'}),
       CArchiveException::tooLarge},
      {"short body", Of({3, 'a', 'b'}), CArchiveException::tooLarge},
      {"cut prefix", Of({0xFF, 0x10}), CArchiveException::endOfFile},
  };
  for (const Case& c : strings) {
    CArchive in(c.bytes);
    try {
      in.ReadString();
      ADD_FAILURE() << c.what;
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.m_cause, c.cause) << c.what;
    }
  }
  std::vector<std::uint8_t> array{9};
  CArchive huge(Of({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2}));
  EXPECT_THROW(huge.ReadByteArray(array), CArchiveException);
  EXPECT_EQ(array, Of({9}));
}

TEST(Archive, ByteArrayCountSwitchesToThirtyTwoBitsAtFFFF) {
  for (std::size_t n : {std::size_t{0}, std::size_t{3}, std::size_t{0xFFFE}, std::size_t{0xFFFF}}) {
    Bytes data(n, 0xA5);
    CArchive out;
    out.WriteByteArray(data);
    const std::size_t prefix = n < 0xFFFF ? 2 : 6;
    ASSERT_EQ(out.GetBuffer().size(), prefix + n);
    if (n == 3) {
      EXPECT_EQ(out.GetBuffer(), Of({3, 0, 0xA5, 0xA5, 0xA5}));
    }
    if (n == 0xFFFF) {
      EXPECT_EQ(Bytes(out.GetBuffer().begin(), out.GetBuffer().begin() + 6),
                Of({0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
    }
    CArchive in(out.GetBuffer());
    Bytes back;
    in.ReadByteArray(back);
    EXPECT_EQ(back, data);
  }
}

TEST(ArchiveObjects, ClassRecordThenClassIndexThenObjectIndex) {
  CNode first(7), second(8);
  CArchive out;
  out.WriteObject(&first);
  out.WriteObject(&second);
  out.WriteObject(&first);
  out.WriteObject(nullptr);

  Bytes expected = Of({0xFF, 0xFF, 2, 0, 5, 0});
  Append(expected, "CNode");
  // first: index 1 is the class, 2 the object; its null child.
  for (int b : {7, 0, 0, 0, 0, 0}) expected.push_back(static_cast<std::uint8_t>(b));
  // second: the known class by index, then its own data (object index 3).
  for (int b : {0x01, 0x80, 8, 0, 0, 0, 0, 0}) expected.push_back(static_cast<std::uint8_t>(b));
  // first again: its object index; then the null object.
  for (int b : {2, 0, 0, 0}) expected.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(out.GetBuffer(), expected);

  CArchive in(out.GetBuffer());
  std::unique_ptr<CObject> a, b, again;
  CObject* pa = in.ReadObjectRecord(a);
  CObject* pb = in.ReadObjectRecord(b);
  CObject* pagain = in.ReadObjectRecord(again);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(pa, a.get());
  EXPECT_EQ(pagain, a.get()) << "a second record names the first object";
  EXPECT_FALSE(again);
  EXPECT_EQ(static_cast<CNode*>(pb)->m_nValue, 8);
  EXPECT_EQ(in.ReadObject(), nullptr);
  EXPECT_EQ(in.GetRemaining(), 0u);

  // An owner-returning read cannot hand out the same object twice.
  CArchive twice(out.GetBuffer());
  twice.ReadObject();
  twice.ReadObject();
  EXPECT_THROW(twice.ReadObject(), CArchiveException);
}

TEST(ArchiveObjects, SchemaRulesAndBadRecords) {
  // A versionable class loads whatever schema the record holds and sees it.
  Bytes node = StoredChain(1);
  node[2] = 9;
  CArchive in(node);
  std::unique_ptr<CObject> loaded = in.ReadObject();
  ASSERT_TRUE(loaded && loaded->IsKindOf(RUNTIME_CLASS(CNode)));
  EXPECT_EQ(static_cast<CNode*>(loaded.get())->m_nSchemaSeen, 9);

  CFixed fixed;
  CArchive out;
  out.WriteObject(&fixed);
  Bytes good = out.GetBuffer();
  EXPECT_TRUE(CArchive(good).ReadObject());
  Bytes otherSchema = good;
  otherSchema[2] = 4;
  EXPECT_EQ(LoadFailure(otherSchema), CArchiveException::badSchema);

  Bytes unknown = Of({0xFF, 0xFF, 1, 0, 4, 0});
  Append(unknown, "CZap");
  EXPECT_EQ(LoadFailure(unknown), CArchiveException::badClass);
  Bytes notCreatable = Of({0xFF, 0xFF, 0xFF, 0xFF, 7, 0});
  Append(notCreatable, "CObject");
  EXPECT_EQ(LoadFailure(notCreatable), CArchiveException::badClass);
  EXPECT_EQ(LoadFailure(Of({0x01, 0x80})), CArchiveException::badIndex);  // class never written
  EXPECT_EQ(LoadFailure(Of({0x05, 0x00})), CArchiveException::badIndex);  // object never written
  EXPECT_EQ(LoadFailure(Of({0xFF, 0x7F, 1, 0, 0, 0})), CArchiveException::badIndex);
  // A class index used where an object index belongs.
  Bytes classAsObject = StoredChain(1);
  classAsObject.insert(classAsObject.end(), {1, 0});
  CArchive mixed(classAsObject);
  mixed.ReadObject();
  EXPECT_THROW(mixed.ReadObject(), CArchiveException);
}

TEST(ArchiveObjects, AFailedObjectTakesTheObjectsLoadedInsideItAlong) {
  // A node (class 1, object 2) whose child is a CFixed (class 3, object 4):
  // the child loads, then the node refuses it and both die.
  Bytes bytes = Of({0xFF, 0xFF, 2, 0, 5, 0});
  Append(bytes, "CNode");
  bytes.insert(bytes.end(), {7, 0, 0, 0, 0xFF, 0xFF, 3, 0, 6, 0});
  Append(bytes, "CFixed");
  // Read on after the failure: a reference to the dead child, then a new
  // object of a class first named inside the failed one.
  bytes.insert(bytes.end(), {4, 0, 0x03, 0x80});
  CArchive in(bytes);
  std::unique_ptr<CObject> owned;
  EXPECT_THROW(in.ReadObjectRecord(owned), CArchiveException);
  try {
    in.ReadObjectRecord(owned);
    ADD_FAILURE() << "handed out an object that died with its parent";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
  }
  ASSERT_NE(in.ReadObjectRecord(owned), nullptr);
  EXPECT_TRUE(owned->IsKindOf(RUNTIME_CLASS(CFixed)));
}

TEST(ArchiveObjects, NestingIsBoundedAndTruncationAtAnyByteFailsCleanly) {
  std::unique_ptr<CObject> deep = CArchive(StoredChain(CArchive::kMaxNesting)).ReadObject();
  int depth = 0;
  for (CNode* n = static_cast<CNode*>(deep.get()); n; n = n->m_pChild.get()) ++depth;
  EXPECT_EQ(depth, CArchive::kMaxNesting);
  EXPECT_EQ(LoadFailure(StoredChain(CArchive::kMaxNesting + 1)), CArchiveException::tooDeep);
  // Crafted far deeper than any stack could follow.
  Bytes crafted = StoredChain(1);
  crafted.resize(crafted.size() - 2);
  for (int i = 0; i < 100000; ++i) crafted.insert(crafted.end(), {0x01, 0x80, 0, 0, 0, 0});
  EXPECT_EQ(LoadFailure(crafted), CArchiveException::tooDeep);

  // Every proper prefix of a valid chain is refused; AddressSanitizer checks
  // that the partly built objects are freed.
  const Bytes chain = StoredChain(5);
  for (std::size_t cut = 0; cut < chain.size(); ++cut) {
    EXPECT_THROW(CArchive(Bytes(chain.begin(), chain.begin() + cut)).ReadObject(), CArchiveException)
        << "cut at " << cut;
  }
}

TEST(Archive, SavesToAndLoadsFromAFile) {
  TempFolder dir("archive");
  ASSERT_FALSE(dir.path.empty());
  const std::string path = dir / "node.bin";
  CArchive out;
  out.WriteString("连接串口");
  ASSERT_EQ(out.SaveFile(path), 1);
  CArchive in(CArchive::load);
  ASSERT_EQ(in.LoadFile(path), 1);
  EXPECT_EQ(in.ReadString(), "连接串口");
  EXPECT_EQ(in.LoadFile(dir / "missing.bin"), 0);
  EXPECT_EQ(in.GetRemaining(), 0u);
  EXPECT_EQ(out.SaveFile(dir / "no/such/folder"), 0);
  EXPECT_EQ(out.SaveFile(dir.path), 0) << "a folder is no archive file";
}
