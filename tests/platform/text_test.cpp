#include "platform/text.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <string>

TEST(GbkText, ChineseLiteralIsCompiledToItsGbkBytes) {
  const std::string text = "连接串口";
  const std::string expected("\xC1\xAC\xBD\xD3\xB4\xAE\xBF\xDA", 8);
  EXPECT_EQ(text, expected);
}

TEST(GbkText, ConvertsBothWaysAndReplacesWhatItCannotRead) {
  const std::string utf8 = "\xE8\xBF\x9E\xE6\x8E\xA5";  // 连接 in UTF-8
  EXPECT_EQ(Utf8ToGbk(utf8), "连接");
  EXPECT_EQ(GbkToUtf8("连接"), utf8);
  EXPECT_EQ(GbkToUtf8(""), "");
  // A lone lead byte at the end is not a character: it becomes '?'.
  EXPECT_EQ(GbkToUtf8(std::string("A\xC1", 2)), "A?");
  // One '?' for each character GBK lacks, whatever its UTF-8 length; a
  // broken sequence loses only its own bytes.
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b\xE0\xB8\x81" "c\xE8\xBF\x9E"), "a?b?c连");
  EXPECT_EQ(Utf8ToGbk("\xE8\xBF" "A\xFF" "\xE8"), "?A??");
  // A GBK lead byte with a trail byte that no character has: one '?'.
  EXPECT_EQ(GbkToUtf8(std::string("\xA2\xA0" "A\x81" "\x7F", 5)), "?A?\x7F");
}

TEST(StrFormat, FormatsLongOutputAndIgnoresTheProcessLocale) {
  EXPECT_EQ(StrFormat("%d字节", -5), "-5字节");
  EXPECT_EQ(StrFormat("%s", std::string(1000, 'x').c_str()).size(), 1000u);
  // Windows formats one directive at a time: every argument must stay in step.
  EXPECT_EQ(StrFormat("%*d|%-4s|%zu|%lld|%%|%.*f|%lX|%c", 4, 7, "ab", std::size_t{42}, -9000000000LL, 1, 2.25,
                      0xBEEFUL, 'q'),
            "   7|ab  |42|-9000000000|%|2.2|BEEF|q");
  // A locale with a decimal comma must not leak into the figures. Only such
  // a locale proves it (scripts/setup installs locales-all).
  const char* chosen = nullptr;
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"}) {
    if (setlocale(LC_ALL, name) && std::string(localeconv()->decimal_point) == ",") {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) {
    setlocale(LC_ALL, "C");
    GTEST_SKIP() << "no locale with a decimal comma (de_DE or fr_FR) is installed";
  }
  EXPECT_EQ(StrFormat("%3.3f", 250.0), "250.000") << chosen;
  setlocale(LC_ALL, "C");
}

TEST(AsciiUpper, UpperCasesLettersButNotTrailBytes) {
  EXPECT_EQ(AsciiUpper("com3"), "COM3");
  // 偶 is C5 BC; 哈 is B9 FE; a trail byte in 'a'..'z' must stay as it is.
  const std::string dbcs("\x81\x61z", 3);
  EXPECT_EQ(AsciiUpper(dbcs), std::string("\x81\x61Z", 3));
}

TEST(ParseDecimal, TakesOnlyWholeNumbersWithinTheirRange) {
  std::uint64_t value = 7;
  EXPECT_EQ(ParseDecimal("4294967295", 1, 0xFFFFFFFFu, &value), 1);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(ParseDecimal("0065535", 1, 65535, &value), 1) << "leading zeros are digits";
  EXPECT_EQ(value, 65535u);
  value = 7;
  for (const char* text : {"", "4294967296", "12345678901", "+9600", "-1", " 9600", "9600 ", "96OO", "0"}) {
    EXPECT_EQ(ParseDecimal(text, 1, 0xFFFFFFFFu, &value), 0) << '"' << text << '"';
  }
  EXPECT_EQ(value, 7u) << "a refused text leaves the output alone";
}
