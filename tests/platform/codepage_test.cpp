#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(CodePage, ConvertsChineseBothWays) {
  const std::string gbk = platform::FromUtf8("飞鸿信使");
  EXPECT_EQ(gbk, "\xB7\xC9\xBA\xE8\xD0\xC5\xCA\xB9");
  EXPECT_EQ(platform::ToUtf8(gbk), "飞鸿信使");
  EXPECT_EQ(platform::FromUtf8("abc 123\r\n"), "abc 123\r\n");
  EXPECT_EQ(platform::FromUtf8(""), "");
  EXPECT_EQ(platform::ToUtf8(""), "");
}

TEST(CodePage, MarksBytesThatAreNoCharacter) {
  // A lone lead byte at the end, and a lead byte before a space, are no
  // character of the code page: one U+FFFD each, the rest kept.
  EXPECT_EQ(platform::ToUtf8("a\xB7"), "a\xEF\xBF\xBD");
  EXPECT_EQ(platform::ToUtf8("\x81 x\xD6\xB5"), "\xEF\xBF\xBD x值");
  EXPECT_EQ(platform::FromUtf8("a\xFF" "b"), "a?b");
}

// The cells where code page 936 as Windows has it differs from GBK and
// GB18030 tables: the euro sign, the user-defined areas, the cells filled
// with private-use characters, and characters it lacks, which become '?'
// (one per UTF-16 unit) with no look-alike put in their place.
TEST(CodePage, IsWindowsCodePage936) {
  struct Case {
    const char* utf8;
    const char* codePage;
  };
  const Case both[] = {
      {"€", "\x80"},
      {"\xEE\x80\x80", "\xAA\xA1"},          // U+E000, first user-defined cell
      {"\xEE\x93\x85", "\xFE\xFE"},          // U+E4C5
      {"\xEE\x93\x86", "\xA1\x40"},          // U+E4C6
      {"\xEE\x9D\xA5", "\xA7\xA0"},          // U+E765, last user-defined cell
      {"\xEE\x9D\xA6", "\xA2\xAB"},          // U+E766, first filled cell
      {"\xEE\xA1\xA4", "\xFE\xA0"},          // U+E864, last filled cell
      {"·—", "\xA1\xA4\xA1\xAA"},
      {"龥", "\xFD\x9B"},
  };
  for (const Case& c : both) {
    EXPECT_EQ(platform::FromUtf8(c.utf8), c.codePage) << c.utf8;
    EXPECT_EQ(platform::ToUtf8(c.codePage), c.utf8) << c.utf8;
  }
  const Case lacking[] = {
      {"a😀b", "a??b"},          // beyond U+FFFF: two UTF-16 units
      {"\xF0\xA0\x80\x80", "??"},  // U+20000, a CJK character outside the code page
      {"한", "?"},
      {"²¢", "??"},               // best-fit look-alikes would be "2" and "￠"
      {"\xEF\xA3\xB5", "\xFF"},   // U+F8F5, which Windows writes as 0xFF
  };
  for (const Case& c : lacking) EXPECT_EQ(platform::FromUtf8(c.utf8), c.codePage) << c.utf8;
  // 0xFF is no character when read, nor is a lead byte before a byte that is
  // no trail byte.
  EXPECT_EQ(platform::ToUtf8("\xFF\x81\x7F"), "\xEF\xBF\xBD\xEF\xBF\xBD\x7F");
}

// Every single and double byte read, and every character up to U+FFFF (and
// a few beyond) written, folded into one FNV-1a hash. The expected value was
// taken from the Windows build (MultiByteToWideChar and WideCharToMultiByte
// of code page 936 under Wine); the POSIX build must give the same bytes.
TEST(CodePage, BothSystemsGiveTheSameBytes) {
  std::uint64_t hash = 14695981039346656037ull;
  auto fold = [&hash](const std::string& bytes) {
    for (const char c : bytes + '\x01') {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ull;
    }
  };
  for (unsigned first = 0; first < 0x100; ++first) {
    fold(platform::ToUtf8(std::string(1, static_cast<char>(first))));
    if (first < 0x81 || first > 0xFE) continue;
    for (unsigned second = 0; second < 0x100; ++second) {
      fold(platform::ToUtf8(std::string{static_cast<char>(first), static_cast<char>(second)}));
    }
  }
  auto utf8 = [](std::uint32_t c) {
    std::string s;
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      s += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      s += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
            static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return s;
  };
  for (std::uint32_t c = 1; c < 0x10000; ++c) {
    if (c < 0xD800 || c > 0xDFFF) fold(platform::FromUtf8(utf8(c)));
  }
  for (std::uint32_t c : {0x10000u, 0x1F600u, 0x20000u, 0x10FFFFu}) fold(platform::FromUtf8(utf8(c)));
  EXPECT_EQ(hash, 12829562832140647042ull);
}

}  // namespace
