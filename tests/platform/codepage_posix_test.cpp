#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, ConvertsChineseBothWays) {
  const std::string gbk = platform::FromUtf8("飞鸿信使");
  EXPECT_EQ(gbk, "\xB7\xC9\xBA\xE8\xD0\xC5\xCA\xB9");
  EXPECT_EQ(platform::ToUtf8(gbk), "飞鸿信使");
  EXPECT_EQ(platform::FromUtf8("abc 123"), "abc 123");
  EXPECT_EQ(platform::FromUtf8(""), "");
}

TEST(CodePage, MarksBytesThatAreNoCharacter) {
  // A lone lead byte at the end is no character of the code page.
  EXPECT_EQ(platform::ToUtf8("a\xB7"), "a\xEF\xBF\xBD");
}

TEST(CodePage, NativePathIsUtf8OnPosix) {
  const std::string gbkName = platform::FromUtf8("运行报告.txt");
  EXPECT_EQ(platform::NativePath(gbkName).string(), "运行报告.txt");
  EXPECT_EQ(platform::PathToCodePage(platform::NativePath(gbkName)), gbkName);
}

}  // namespace
