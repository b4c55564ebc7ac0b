#include "smtp/base64.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64EncodeTest, PadsByGroupLength) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("a"), "YQ==");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Encode("abc"), "YWJj");
  EXPECT_EQ(Base64Encode("abcd"), "YWJjZA==");
  EXPECT_EQ(Base64Encode("user@example.com"), "dXNlckBleGFtcGxlLmNvbQ==");
}

TEST(Base64EncodeTest, TakesBytesAsUnsigned) {
  // GBK bytes of "中文" and the extremes of the alphabet.
  EXPECT_EQ(Base64Encode("\xD6\xD0\xCE\xC4"), "1tDOxA==");
  EXPECT_EQ(Base64Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
  EXPECT_EQ(Base64Encode(std::string("\0\0\0", 3)), "AAAA");
}

TEST(Base64EncodeTest, LongInputIsOneUnbrokenLine) {
  const std::string encoded = Base64Encode(std::string(300, 'x'));
  EXPECT_EQ(encoded.size(), 400u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

}  // namespace
