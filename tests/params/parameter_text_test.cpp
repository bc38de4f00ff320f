#include "params/parameter_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "params/parameters.h"

namespace {

using Fields = std::vector<std::string>;

Fields Split(const std::string& text) {
  Fields out{"stale"};
  SplitString(text, "<@&@>", out);
  return out;
}

}  // namespace

TEST(ParameterText, WorkedExampleComesOutByteForByteAndReadsBack) {
  CParameters nested;
  nested.SetString("a", "b");
  CParameters c;
  c.SetString("Port", "COM1");
  c.SetInt("RTS", 1);
  c.SetParameters("N", nested);
  const std::string expected =
      "Port<&@&>COM1<&@&>CString<@&@>RTS<&@&>0100000000000000<&@&>int<@&@>"
      "N<&@&>613C2640263E623C2640263E43537472696E673C4026403E<&@&>CParameters<@&@>";
  EXPECT_EQ(c.ToString(), expected);

  CParameters back;
  EXPECT_EQ(back.FromString(expected), 1);
  EXPECT_EQ(back.ToString(), expected);
  std::string b;
  EXPECT_EQ(back.GetParameters("N")->GetString("a", b), 1);
  EXPECT_EQ(b, "b");

  CParameters empty;
  EXPECT_EQ(empty.ToString(), "");
  EXPECT_EQ(back.FromString(""), 1);
  EXPECT_EQ(back.GetSize(), 0);
}

TEST(ParameterText, ValueFieldsOfEachKind) {
  struct Case {
    CParameter item;
    const char* text;
  };
  CParameter minus("v", -1);
  CParameter dbl;
  dbl.m_strName = "d";
  dbl.m_nType = PT_DOUBLE;
  const double d = 1.5;
  std::memcpy(dbl.m_value, &d, 8);
  CParameter flt;
  flt.m_strName = "f";
  flt.m_nType = PT_FLOAT;
  const float f = 1.5f;
  std::memcpy(flt.m_value, &f, 4);
  CParameter bytes;
  bytes.m_strName = "b";
  bytes.EnsureBytes();
  bytes.m_nType = PT_BYTES;
  const Case cases[] = {
      {minus, "v<&@&>FFFFFFFF00000000<&@&>int"},
      {dbl, "d<&@&>000000000000F83F<&@&>double"},
      {flt, "f<&@&>0000C03F00000000<&@&>float"},
      {bytes, "b<&@&><&@&>CByteArray"},
      {CParameter("N", ""), "N<&@&><&@&>CString"},
      {CParameter("名", "串口"), "名<&@&>串口<&@&>CString"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.item.ToString(), c.text);
    CParameter back;
    EXPECT_EQ(back.FromString(c.text), 1) << c.text;
    EXPECT_EQ(back.ToString(), c.text);
  }
}

TEST(ParameterText, SplittingRules) {
  EXPECT_EQ(Split("A<@&@>B<@&@>"), (Fields{"A", "B"}));
  EXPECT_EQ(Split("A<@&@>B"), (Fields{"A", "B"}));
  EXPECT_EQ(Split("<@&@>A"), (Fields{"A"}));
  EXPECT_EQ(Split("A<@&@><@&@>B"), (Fields{"A", "", "B"}));
  EXPECT_EQ(Split(""), (Fields{""}));
  EXPECT_EQ(Split("<@&@>"), (Fields{""}));
  EXPECT_EQ(Split("no separator"), (Fields{"no separator"}));
}

TEST(ParameterText, ItemReaderFailuresAndTolerances) {
  CParameter item("keep", "me");
  EXPECT_EQ(item.FromString("a<&@&>b"), 0);
  EXPECT_EQ(item.FromString("a<&@&>b<&@&>CString<&@&>x"), 0);
  EXPECT_EQ(item.GetName(), "keep") << "a wrong field count changes nothing";
  // An empty name: the leading separator is skipped, two fields remain.
  EXPECT_EQ(item.FromString(CParameter("", "x").ToString()), 0);
  // Type code 0: the empty type field is lost, two fields remain.
  CParameter empty;
  empty.m_nType = PT_EMPTY;
  EXPECT_EQ(item.FromString(empty.ToString()), 0);

  // Numeric fields: 16 or 17 characters; the 17th is ignored.
  EXPECT_EQ(item.FromString("n<&@&>0200000000000000F<&@&>int"), 1);
  EXPECT_EQ(item.GetValueText(), "2");
  for (const char* bad : {"n2<&@&>020000000000000<&@&>short", "n2<&@&>020000000000000000<&@&>short"}) {
    EXPECT_EQ(item.FromString(bad), 0);
    EXPECT_EQ(item.GetName(), "n2") << "the name and type change before the length check";
    EXPECT_EQ(item.GetTypeTag(), "i2");
    EXPECT_EQ(item.m_value[0], 2) << "m_value stays";
  }

  // Lowercase digits count as 0; an odd last character is dropped.
  EXPECT_EQ(item.FromString("b<&@&>0aFF1<&@&>CByteArray"), 1);
  EXPECT_EQ(*item.m_pBytes, (std::vector<std::uint8_t>{0x00, 0xFF}));

  CParameter fresh;
  EXPECT_EQ(fresh.FromString("x<&@&>value<&@&>Cstring"), 1);
  EXPECT_EQ(fresh.GetName(), "x");
  EXPECT_EQ(fresh.GetTypeTag(), "CS");
  EXPECT_EQ(fresh.GetValueText(), "");
}

TEST(ParameterText, CollectionReaderKeepsWhatItReadBeforeAFailure) {
  CParameters c;
  c.SetString("old", "x");
  EXPECT_EQ(c.FromString("A<&@&>1<&@&>CString<@&@>bad<@&@>B<&@&>2<&@&>CString"), 0);
  ASSERT_EQ(c.GetSize(), 1);
  EXPECT_EQ(c.ElementAt(0).GetName(), "A");

  EXPECT_EQ(c.FromString("A<&@&>1<&@&>CString<@&@>B<&@&>2<&@&>CString<@&@>A<&@&>3<&@&>CString"), 1);
  ASSERT_EQ(c.GetSize(), 2);
  EXPECT_EQ(c.ElementAt(0).GetValueText(), "3");

  // A separator inside a value is written verbatim and misreads.
  CParameters tricky;
  tricky.SetString("t", "a<@&@>b");
  EXPECT_EQ(c.FromString(tricky.ToString()), 0);

  // A failure two levels down fails every enclosing level.
  const std::string inner = "x<&@&>1<&@&>int<@&@>";  // 1 character: wrong length
  const std::string middle = "m<&@&>" + StringToHex(inner) + "<&@&>CParameters<@&@>";
  const std::string outer = "o<&@&>" + StringToHex(middle) + "<&@&>CParameters<@&@>";
  EXPECT_EQ(c.FromString(outer), 0);
}

TEST(ParameterText, HexHelpers) {
  const std::uint8_t raw[] = {0x00, 0x7F, 0xAB, 0xFF};
  EXPECT_EQ(BufferToHex(raw, 4), "007FABFF");
  EXPECT_EQ(BytesToHex({}), "");
  EXPECT_EQ(StringToHex("a<"), "613C");
  std::string text = "stale";
  EXPECT_EQ(HexToString("41420043", text), 1);
  EXPECT_EQ(text, "AB") << "cut at the first zero byte";
  std::uint8_t buffer[2] = {9, 9};
  EXPECT_EQ(HexToBuffer("ABC", buffer, 2), 0);
  EXPECT_EQ(buffer[0], 9);
  EXPECT_EQ(HexToBuffer("GG12", buffer, 2), 1);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], 0x12);
}
