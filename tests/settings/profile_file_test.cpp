#include "settings/profile_file.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

class ProfileFile : public ::testing::Test {
 protected:
  ProfileFile() : m_cwd(m_dir.Path()) {
    std::filesystem::create_directory(m_dir.Path() / "ini");
    m_file.SetPath(kSettingsPath);
  }
  void Store(const std::string& bytes) { m_dir.WriteFile("ini/Stmp.Ini", bytes); }
  std::int32_t Int(const std::string& key) {
    std::int32_t value = -99;
    EXPECT_TRUE(m_file.ReadInt("n", key, value));
    long asLong = -99;
    EXPECT_TRUE(m_file.ReadInt("n", key, asLong));
    EXPECT_EQ(asLong, value) << key;
    return value;
  }

  testsupport::CTempDir m_dir;
  testsupport::CWorkingDirGuard m_cwd;
  CProfileFile m_file;
};

TEST_F(ProfileFile, ReadsTheLeadingInteger) {
  Store("[n]\nevening=7pm\nneg= -12abc\nplus=+8\nyes=yes\nempty=\nbig=99999999999\n"
        "small=-99999999999\nmax=2147483647\nmin=-2147483648\nsign=-\n");
  EXPECT_EQ(Int("evening"), 7);
  EXPECT_EQ(Int("neg"), -12);
  EXPECT_EQ(Int("plus"), 8);
  EXPECT_EQ(Int("yes"), 0);
  EXPECT_EQ(Int("empty"), 0);
  EXPECT_EQ(Int("absent"), 0);
  EXPECT_EQ(Int("sign"), 0);
  EXPECT_EQ(Int("max"), 2147483647);
  EXPECT_EQ(Int("min"), -2147483647 - 1);
  // Out-of-range numbers stop at the bounds instead of wrapping around.
  EXPECT_EQ(Int("big"), 2147483647);
  EXPECT_EQ(Int("small"), -2147483647 - 1);
}

TEST_F(ProfileFile, EmptyPathReadsNothing) {
  Store("[s]\nk=v\n");
  CProfileFile unset;
  std::string value = "untouched";
  EXPECT_FALSE(unset.ReadString("s", "k", value));
  EXPECT_EQ(value, "untouched");
  std::int32_t number = 5;
  EXPECT_TRUE(unset.ReadInt("s", "k", number));
  EXPECT_EQ(number, 0);
  EXPECT_EQ(unset.WriteString("s", "k", "x"), 0);
}

TEST_F(ProfileFile, WritesNegativeIntegersAndAbsentKeysReadEmpty) {
  EXPECT_NE(m_file.WriteInt("n", "neg", -42), 0);
  EXPECT_EQ(Int("neg"), -42);
  std::string value = "old";
  EXPECT_TRUE(m_file.ReadString("n", "absent", value));
  EXPECT_EQ(value, "");
}

}  // namespace
