#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, NativePathIsUtf8OnPosix) {
  const std::string gbkName = platform::FromUtf8("运行报告.txt");
  EXPECT_EQ(platform::NativePath(gbkName).string(), "运行报告.txt");
  EXPECT_EQ(platform::PathToCodePage(platform::NativePath(gbkName)), gbkName);
}

}  // namespace
