#include "params/parameter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "params/parameters.h"
#include "platform/archive.h"

namespace {

CParameter Numeric(std::int32_t type, std::initializer_list<int> bytes) {
  CParameter p;
  p.m_nType = type;
  int i = 0;
  for (int b : bytes) p.m_value[i++] = static_cast<std::uint8_t>(b);
  return p;
}

}  // namespace

TEST(ParameterTypes, TagsNamesAndDisplayTextsOfEveryCode) {
  struct Row {
    CParameter item;
    const char* tag;
    const char* name;
    const char* display;
  };
  CParameter bytes("b", "");
  bytes.EnsureBytes();
  *bytes.m_pBytes = {1, 2, 3, 4, 5, 6, 7};
  bytes.m_nType = PT_BYTES;
  CParameter emptyBytes;
  emptyBytes.EnsureBytes();
  emptyBytes.m_nType = PT_BYTES;
  CParameters four;
  for (const char* n : {"a", "b", "c", "d"}) four.SetInt(n, 1);

  const Row rows[] = {
      {CParameter(), "CS", "CString", ""},
      {CParameter("n", "COM1"), "CS", "CString", "COM1"},
      {Numeric(PT_EMPTY, {}), "EP", "", ""},
      {Numeric(14, {1}), "UK", "", ""},
      {Numeric(-1, {1}), "UK", "", ""},
      {bytes, "CBA", "CByteArray", "CBA[7](0102030405)"},
      {emptyBytes, "CBA", "CByteArray", "CBA[0]()"},
      {CParameter("p", four), "CP", "CParameters", "CP[4]"},
      {Numeric(PT_LONG, {0xFF, 0xFF, 0xFF, 0xFF}), "i4l", "long", "-1"},
      {Numeric(PT_ULONG, {0xFF, 0xFF, 0xFF, 0xFF}), "u4l", "unsigned long", "4294967295"},
      {CParameter("i", -7), "i4", "int", "-7"},
      {Numeric(PT_UINT, {0xFF, 0xFF, 0xFF, 0xFF}), "u4", "unsigned int", "4294967295"},
      {Numeric(PT_SHORT, {0x00, 0x80, 0x12}), "i2", "short", "-32768"},
      {Numeric(PT_USHORT, {0x00, 0x80, 0x12}), "u2", "unsigned short", "32768"},
      {Numeric(PT_CHAR, {0xFF, 0x01}), "i1", "char", "-1"},
      {Numeric(PT_UCHAR, {0xFF, 0x01}), "u1", "unsigned char", "255"},
      {Numeric(PT_FLOAT, {0x00, 0x00, 0xC0, 0x3F}), "f4", "float", "1.500000"},
      {Numeric(PT_DOUBLE, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}), "f8", "double", "1.500000"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag + std::string(" ") + r.display);
    EXPECT_EQ(r.item.GetTypeTag(), r.tag);
    EXPECT_EQ(r.item.GetTypeName(), r.name);
    EXPECT_EQ(r.item.GetValueText(), r.display);
  }
}

TEST(ParameterStorage, ChangingTheTypeKeepsTheOtherStorages) {
  CParameter p("Port", "COM1");
  std::memset(p.m_value, 0xEE, sizeof p.m_value);
  p.SetInt(7);
  std::string text = "untouched";
  EXPECT_EQ(p.GetString(text), 0);
  EXPECT_EQ(text, "untouched");
  EXPECT_EQ(p.GetTypeTag(), "i4");
  EXPECT_EQ(p.GetValueText(), "7");
  EXPECT_EQ(*p.m_pString, "COM1") << "the text stays behind the int";
  EXPECT_EQ(p.m_value[4], 0xEE) << "an int writes only its four bytes";

  // A nested collection asked of a text item is usable but not shown.
  CParameter t("Name", "x");
  CParameters* nested = t.GetParametersPtr();
  ASSERT_NE(nested, nullptr);
  nested->SetInt("inner", 1);
  EXPECT_EQ(t.m_nType, PT_STRING);
  EXPECT_EQ(t.GetValueText(), "x");
  EXPECT_EQ(t.ToString(), "Name<&@&>x<&@&>CString");
  EXPECT_EQ(t.GetParametersPtr(), nested);

  // Assigning a text item over a byte-array item keeps the array allocated.
  CParameter target;
  target.EnsureBytes();
  target.m_pBytes->assign({1, 2});
  target.m_nType = PT_BYTES;
  target = CParameter("T", "text");
  ASSERT_TRUE(target.m_pBytes);
  EXPECT_EQ(target.m_pBytes->size(), 2u);
  EXPECT_EQ(target.GetValueText(), "text");
  EXPECT_EQ(target.ToString(), "T<&@&>text<&@&>CString");
}

TEST(ParameterGetters, SucceedOnlyForTheirExactType) {
  int value = 42;
  EXPECT_EQ(Numeric(PT_LONG, {1}).GetInt(value), 0);
  EXPECT_EQ(Numeric(PT_UINT, {1}).GetInt(value), 0);
  EXPECT_EQ(CParameter("s", "1").GetInt(value), 0);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(CParameter("i", -3).GetInt(value), 1);
  EXPECT_EQ(value, -3);

  CParameters out;
  out.SetInt("keep", 1);
  EXPECT_EQ(CParameter("s", "x").GetParameters(out), 0);
  EXPECT_EQ(out.GetSize(), 1);
  CParameters source;
  source.SetString("a", "b");
  EXPECT_EQ(CParameter("p", source).GetParameters(out), 1);
  EXPECT_EQ(out.ToString(), source.ToString());
}

TEST(ParameterCopy, CopiesAreDeepAndMovesHandStorageOver) {
  CParameters tree;
  tree.GetParameters("A")->SetString("b", "c");
  CParameter original("root", tree);
  CParameter copy(original);
  copy.GetParametersPtr()->GetParameters("A")->SetString("b", "changed");
  EXPECT_EQ(original.m_pParameters->ToString(), tree.ToString());

  CParameters* nested = original.GetParametersPtr();
  CParameter moved(std::move(original));
  EXPECT_EQ(moved.GetParametersPtr(), nested);
  EXPECT_EQ(moved.GetValueText(), "CP[1]");
  original = moved;  // a moved-from item can be assigned again
  EXPECT_EQ(original.GetValueText(), "CP[1]");

  // An item may be assigned from an item inside its own tree.
  CParameter parent("p", tree);
  CParameter& child = parent.GetParametersPtr()->ElementAt(0);
  parent = child;
  EXPECT_EQ(parent.GetName(), "A");
  EXPECT_EQ(parent.m_pParameters->ToString(), "b<&@&>c<&@&>CString<@&@>");
  CParameter mover("m", tree);
  mover = std::move(mover.GetParametersPtr()->ElementAt(0));
  EXPECT_EQ(mover.GetName(), "A");
  EXPECT_EQ(mover.m_pParameters->GetSize(), 1);
}

TEST(ParameterArchive, RecordHoldsOnlyTheBytesOfItsType) {
  struct Case {
    CParameter item;
    std::vector<std::uint8_t> value;
  };
  const Case cases[] = {
      {Numeric(PT_SHORT, {0x34, 0x12, 0xAA}), {0x34, 0x12}},
      {Numeric(PT_UCHAR, {0x7F, 0xAA}), {0x7F}},
      {Numeric(PT_FLOAT, {1, 2, 3, 4, 0xAA}), {1, 2, 3, 4}},
      {Numeric(PT_DOUBLE, {1, 2, 3, 4, 5, 6, 7, 8}), {1, 2, 3, 4, 5, 6, 7, 8}},
      {Numeric(PT_EMPTY, {1}), {}},
      {Numeric(99, {1}), {}},
      {CParameter("", "ab"), {2, 'a', 'b'}},
  };
  for (const Case& c : cases) {
    CArchive out;
    const_cast<CParameter&>(c.item).Serialize(out);
    std::vector<std::uint8_t> expected = {static_cast<std::uint8_t>(c.item.m_nType), 0, 0, 0, 0};
    for (std::uint8_t b : c.value) expected.push_back(b);
    EXPECT_EQ(out.GetBuffer(), expected) << c.item.m_nType;

    // Loading writes only those bytes of m_value.
    CParameter back;
    std::memset(back.m_value, 0xEE, sizeof back.m_value);
    CArchive in(out.GetBuffer());
    back.Serialize(in);
    EXPECT_EQ(back.m_nType, c.item.m_nType);
    EXPECT_EQ(back.GetValueText().empty(), c.item.GetValueText().empty());
    if (c.item.m_nType == PT_SHORT) {
      EXPECT_EQ(back.m_value[1], 0x12);
      EXPECT_EQ(back.m_value[2], 0xEE);
    }
  }
  // A byte array inside a record: a 16-bit count, then the bytes.
  CParameter bytes = Numeric(PT_BYTES, {});
  bytes.EnsureBytes();
  bytes.m_pBytes->assign({0xAB, 0x00, 0xCD});
  CArchive arrayOut;
  bytes.Serialize(arrayOut);
  EXPECT_EQ(arrayOut.GetBuffer(), (std::vector<std::uint8_t>{PT_BYTES, 0, 0, 0, 0, 3, 0, 0xAB, 0x00, 0xCD}));

  // A byte-array item whose array was never made still reads back.
  CArchive out;
  CParameter hollow = Numeric(PT_BYTES, {});
  hollow.Serialize(out);
  CParameter("next", "x").Serialize(out);
  CArchive in(out.GetBuffer());
  CParameter a, b;
  a.Serialize(in);
  b.Serialize(in);
  EXPECT_EQ(a.GetValueText(), "CBA[0]()");
  EXPECT_EQ(b.GetValueText(), "x");
}
