#include "platform/codepage.h"

#include <gtest/gtest.h>

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

}  // namespace
