#include "params/parameters.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include <string>
#include <type_traits>
#include <vector>

#include "platform/archive.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> Names(const CParameters& c) {
  std::vector<std::string> out;
  for (int i = 0; i < c.GetSize(); ++i) out.push_back(c.ElementAt(i).GetName());
  return out;
}

Bytes Stored(CParameters& c) {
  CArchive out;
  c.Serialize(out);
  return out.GetBuffer();
}

// A tree with one item of every type, two levels deep.
// Numeric items hold only the bytes of their width, as an archive would.
CParameters EveryType() {
  CParameters c;
  c.SetString("Name", "串口");
  c.SetInt("Int", -5);
  CParameter bytes;
  bytes.m_strName = "Bytes";
  bytes.EnsureBytes();
  bytes.m_pBytes->assign({0, 1, 0xFF});
  bytes.m_nType = PT_BYTES;
  c.SetParameter(bytes);
  for (int type = PT_LONG; type <= PT_DOUBLE; ++type) {
    CParameter n;
    n.m_strName = "n" + std::to_string(type);
    n.m_nType = type;
    const int width = type == PT_DOUBLE ? 8 : type >= PT_CHAR && type <= PT_UCHAR ? 1
                                           : type >= PT_SHORT && type <= PT_USHORT ? 2 : 4;
    for (int i = 0; i < width; ++i) n.m_value[i] = static_cast<std::uint8_t>(type * 16 + i);
    c.SetParameter(n);
  }
  c.GetParameters("Basic")->SetString("Port", "COM3");
  c.GetParameters("Basic")->GetParameters("Deep")->SetInt("x", 1);
  return c;
}

}  // namespace

TEST(ParameterCollection, SettersAddAtTheEndOrReplaceInPlace) {
  CParameters c;
  c.SetString("Port", "COM1");
  c.SetInt("Baud", 9600);
  c.SetString("port", "lower case is another name");
  EXPECT_EQ(Names(c), (std::vector<std::string>{"Port", "Baud", "port"}));

  c.SetInt("Port", 3);
  EXPECT_EQ(c.GetSize(), 3);
  EXPECT_EQ(c.Find("Port"), 0);
  std::string text = "kept";
  EXPECT_EQ(c.GetString("Port", text), 0);
  EXPECT_EQ(text, "kept");
  int value = 0;
  EXPECT_EQ(c.GetInt("Port", value), 1);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(c.GetInt("missing", value), 0);
  EXPECT_EQ(c.SetParameter(CParameter("Baud", "fast")), 1);
  EXPECT_EQ(c.ElementAt(1).GetValueText(), "fast");

  c.Remove("Baud");
  c.Remove("absent");
  EXPECT_EQ(Names(c), (std::vector<std::string>{"Port", "port"}));
  EXPECT_EQ(c.Find("port"), 1);
  EXPECT_EQ(c.Find("Baud"), -1);
}

TEST(ParameterCollection, NestedCollectionsAreMadeOnceAndOutliveArrayGrowth) {
  CParameters c;
  c.SetString("First", "removed later");
  CParameters* basic = c.GetParameters("Basic");
  EXPECT_EQ(c.GetSize(), 2);
  EXPECT_EQ(c.ElementAt(1).GetTypeName(), "CParameters");
  EXPECT_EQ(c.GetParameters("Basic"), basic);
  EXPECT_EQ(c.GetSize(), 2);

  // Appends move the items (a copying array would free every nested
  // collection on growth); AddressSanitizer reports any use of one left
  // behind in the old array.
  static_assert(std::is_nothrow_move_constructible_v<CParameter>);
  CParameters* deep = basic->GetParameters("Level2")->GetParameters("Level3");
  for (int i = 0; i < 1000; ++i) {
    c.SetInt("item" + std::to_string(i), i);
    basic->SetInt("b" + std::to_string(i), i);
  }
  deep->SetString("still", "here");
  EXPECT_EQ(c.GetParameters("Basic"), basic);
  EXPECT_EQ(basic->GetParameters("Level2")->GetParameters("Level3"), deep);
  c.Remove("First");  // Basic moves down one place, its collection with it
  EXPECT_EQ(c.Find("Basic"), 0);
  EXPECT_EQ(c.GetParameters("Basic")->GetParameters("Level2")->GetParameters("Level3"), deep);
  // Assigning over the item keeps its collection object too.
  c.ElementAt(0) = CParameter("Basic", CParameters());
  EXPECT_EQ(c.GetParameters("Basic"), basic);
  EXPECT_EQ(basic->GetSize(), 0);

  // An item of another type lends its hidden collection, keeping its type.
  c.SetString("Text", "t");
  c.GetParameters("Text")->SetInt("hidden", 1);
  EXPECT_EQ(c.ElementAt(c.Find("Text")).GetValueText(), "t");
}

TEST(ParameterCollection, CopiesAreDeepAndMaySelfReference) {
  CParameters source = EveryType();
  CParameters copy(source);
  copy.GetParameters("Basic")->SetString("Port", "COM9");
  std::string port;
  source.GetParameters("Basic")->GetString("Port", port);
  EXPECT_EQ(port, "COM3");

  // Copying from a collection nested inside the target.
  CParameters tree = EveryType();
  tree.Copy(*tree.GetParameters("Basic"));
  EXPECT_EQ(Names(tree), (std::vector<std::string>{"Port", "Deep"}));
  tree.SetParameters("Deep", *tree.GetParameters("Deep"));
  EXPECT_EQ(tree.GetParameters("Deep")->GetSize(), 1);
}

TEST(ParameterCollection, FlattenGivesDottedPathsAndMergesEqualPaths) {
  CParameters c;
  c.SetString("Name", "dev");
  c.GetParameters("Basic")->SetString("Port", "COM1");
  c.GetParameters("Basic")->SetString("Baud", "9600");
  c.GetParameters("A")->GetParameters("B")->SetInt("c", 1);
  CParameters flat;
  flat.SetString("old", "gone");
  c.Flatten(flat);
  EXPECT_EQ(Names(flat), (std::vector<std::string>{"Name", "Basic.Port", "Basic.Baud", "A.B.c"}));

  CParameters clash;
  clash.SetString("Basic.Port", "first");
  clash.GetParameters("Basic")->SetString("Port", "second");
  clash.Flatten(clash);
  ASSERT_EQ(Names(clash), (std::vector<std::string>{"Basic.Port"}));
  EXPECT_EQ(clash.ElementAt(0).GetValueText(), "second");
}

TEST(ParameterCollectionArchive, TreeOfEveryTypeReadsBackExactly) {
  CParameters empty;
  EXPECT_EQ(Stored(empty), Bytes(4, 0));

  CParameters tree = EveryType();
  const Bytes bytes = Stored(tree);
  CParameters back;
  back.SetString("stale", "x");
  CArchive in(bytes);
  back.Serialize(in);
  EXPECT_EQ(in.GetRemaining(), 0u);
  EXPECT_EQ(back.ToString(), tree.ToString());
  EXPECT_EQ(Stored(back), bytes);
  EXPECT_EQ(back.Find("stale"), -1);
}

TEST(ParameterCollectionArchive, DuplicateNamesLoadAndTheFirstWins) {
  CArchive out;
  out.WriteInt32(2);
  CParameter("Dup", "one").Serialize(out);
  CParameter("Dup", "two").Serialize(out);
  CParameters c;
  CArchive in(out.GetBuffer());
  c.Serialize(in);
  ASSERT_EQ(c.GetSize(), 2);
  EXPECT_EQ(c.Find("Dup"), 0);
  EXPECT_EQ(c.SetParameter(CParameter("Dup", "new")), 0);
  EXPECT_EQ(c.ElementAt(0).GetValueText(), "new");
  EXPECT_EQ(c.ElementAt(1).GetValueText(), "two");
  c.SetString("Other", "x");  // an append while duplicates stay
  EXPECT_EQ(c.Find("Other"), 2);
  EXPECT_EQ(c.Find("Dup"), 0);
}

TEST(ParameterCollectionArchive, ACountOfZeroOrLessHoldsNoItemsAndLoadingGoesOn) {
  // Two items: "a", a nested collection with the count -1, then "b".
  const Bytes bytes = {2, 0, 0, 0, PT_PARAMETERS, 0, 0, 0, 1, 'a', 0xFF, 0xFF, 0xFF, 0xFF,
                       PT_STRING, 0, 0, 0, 1, 'b', 1, 'x'};
  CParameters c;
  CArchive in(bytes);
  ASSERT_NO_THROW(c.Serialize(in));
  EXPECT_EQ(in.GetRemaining(), 0u);
  ASSERT_EQ(Names(c), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(c.ElementAt(0).GetValueText(), "CP[0]");
  EXPECT_EQ(c.ElementAt(1).GetValueText(), "x");

  c.SetString("stale", "x");
  CArchive lowest(Bytes{0, 0, 0, 0x80});
  ASSERT_NO_THROW(c.Serialize(lowest));
  EXPECT_EQ(c.GetSize(), 0);
}

// 63 nested collections, each claiming as many items as the bytes left could
// hold, the innermost followed by that many empty items.
Bytes ClaimingEveryByteLeft(std::size_t size) {
  Bytes b(size, 0);
  auto put = [&b](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  std::size_t pos = 0;
  for (int level = 0; level < 63; ++level) {
    put(pos, static_cast<std::uint32_t>((size - pos - 4) / 5));
    pos += 4;
    if (level < 62) {
      put(pos, PT_PARAMETERS);
      pos += 5;  // type and an empty name
    }
  }
  return b;
}

// Loads bytes with the address space allowed to grow by 64 MiB only: 0 when
// the load ends in the archive's own error with the collection empty.
int LoadWithLittleRoom(const Bytes& bytes) {
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer reserves its address space up front
  long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (64u << 20);
  const rlimit asLimit{limit, limit};
  if (pages == 0 || setrlimit(RLIMIT_AS, &asLimit) != 0) return 3;
#endif
  CParameters c;
  CArchive in(bytes);
  try {
    c.Serialize(in);
  } catch (const CArchiveException&) {
    return c.GetSize() == 0 ? 0 : 2;
  }
  return 1;
}

TEST(ParameterCollectionArchive, NestedCountsCostMemoryOfTheInputOnly) {
  // Allocating every level's count before reading would take some 300 MB
  // for these 200 kB and end in std::bad_alloc; reading item by item takes
  // a few MB. The load runs in a child process.
  const Bytes crafted = ClaimingEveryByteLeft(200000);
  EXPECT_EXIT(std::_Exit(LoadWithLittleRoom(crafted)), testing::ExitedWithCode(0), "");
}

TEST(ParameterCollectionArchive, HostileInputFailsCleanlyAndEmptiesTheCollection) {
  auto failure = [](const Bytes& bytes) {
    CParameters c;
    c.SetString("before", "x");
    CArchive in(bytes);
    try {
      c.Serialize(in);
    } catch (const CArchiveException& e) {
      EXPECT_EQ(c.GetSize(), 0);
      return e.m_cause;
    }
    return CArchiveException::generic;
  };
  // Counts that no input of this size could hold are refused before any
  // item is made.
  EXPECT_EQ(failure({0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0}), CArchiveException::tooLarge);
  EXPECT_EQ(failure({2, 0, 0, 0, 1, 0, 0, 0, 0, 0}), CArchiveException::tooLarge);

  // Nesting: 64 levels load, the 65th is refused.
  auto nested = [](int levels) {
    Bytes b;
    for (int i = 1; i < levels; ++i) b.insert(b.end(), {1, 0, 0, 0, PT_PARAMETERS, 0, 0, 0, 0});
    b.insert(b.end(), {0, 0, 0, 0});
    return b;
  };
  CParameters ok;
  CArchive in(nested(CArchive::kMaxNesting));
  EXPECT_NO_THROW(ok.Serialize(in));
  EXPECT_EQ(failure(nested(CArchive::kMaxNesting + 1)), CArchiveException::tooDeep);
  EXPECT_EQ(failure(nested(20000)), CArchiveException::tooDeep);

  // Every proper prefix of a valid archive fails; AddressSanitizer checks
  // that nothing read on the way leaks.
  CParameters tree = EveryType();
  const Bytes whole = Stored(tree);
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    CParameters c;
    CArchive part(Bytes(whole.begin(), whole.begin() + cut));
    EXPECT_THROW(c.Serialize(part), CArchiveException) << "cut at " << cut;
    EXPECT_EQ(c.GetSize(), 0);
  }
}
