#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::ReadProfileValue;
using platform::WriteProfileValue;

class ProfilePosix : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& relative) const { return (m_dir.Path() / relative).string(); }
  unsigned ModeOf(const std::string& relative) const {
    struct stat st {};
    if (stat(PathOf(relative).c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
  }
  std::size_t EntryCount() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(m_dir.Path())) ++n;
    return n;
  }

  testsupport::CTempDir m_dir;
};

TEST_F(ProfilePosix, MissingDirectoryStoresNothingAndCreatesNothing) {
  EXPECT_EQ(WriteProfileValue(PathOf("ini/Stmp.Ini"), "smtp", "smtp", "x"), 0);
  EXPECT_FALSE(fs::exists(m_dir.Path() / "ini"));
  EXPECT_EQ(EntryCount(), 0u);
  EXPECT_EQ(ReadProfileValue(PathOf("ini/Stmp.Ini"), "smtp", "smtp", 256), "");
  EXPECT_EQ(ReadProfileValue("", "smtp", "smtp", 256), "");
  EXPECT_EQ(WriteProfileValue("", "smtp", "smtp", "x"), 0);
}

TEST_F(ProfilePosix, NewFileIsOwnerOnlyAndExistingModeIsKept) {
  fs::create_directory(m_dir.Path() / "ini");
  ASSERT_NE(WriteProfileValue(PathOf("ini/a.ini"), "s", "Password", "secret"), 0);
  EXPECT_EQ(ModeOf("ini/a.ini"), 0600u);
  EXPECT_EQ(m_dir.ReadFile("ini/a.ini"), "[s]\r\nPassword=secret\r\n");

  m_dir.WriteFile("ini/b.ini", "[s]\r\nk=1\r\n");
  ASSERT_EQ(chmod(PathOf("ini/b.ini").c_str(), 0640), 0);
  ASSERT_NE(WriteProfileValue(PathOf("ini/b.ini"), "s", "k", "2"), 0);
  EXPECT_EQ(ModeOf("ini/b.ini"), 0640u);
  EXPECT_EQ(m_dir.ReadFile("ini/b.ini"), "[s]\r\nk=2\r\n");
  // No temporary file is left beside the settings.
  EXPECT_EQ(EntryCount(), 3u);
}

TEST_F(ProfilePosix, UnchangedValueLeavesTheFileAlone) {
  const std::string original = "[s]\n\nk = v \n";
  m_dir.WriteFile("a.ini", original);
  EXPECT_NE(WriteProfileValue(PathOf("a.ini"), "S", "K", "v"), 0);
  EXPECT_EQ(m_dir.ReadFile("a.ini"), original);
}

TEST_F(ProfilePosix, ReadOnlyFileIsNotWritten) {
  m_dir.WriteFile("a.ini", "[s]\nk=v\n");
  ASSERT_EQ(chmod(PathOf("a.ini").c_str(), 0444), 0);
  EXPECT_EQ(WriteProfileValue(PathOf("a.ini"), "s", "k", "new"), 0);
  EXPECT_EQ(m_dir.ReadFile("a.ini"), "[s]\nk=v\n");
}

TEST_F(ProfilePosix, SymbolicLinkStaysALink) {
  m_dir.WriteFile("real.ini", "[s]\nk=v\n");
  fs::create_symlink(m_dir.Path() / "real.ini", m_dir.Path() / "link.ini");
  ASSERT_NE(WriteProfileValue(PathOf("link.ini"), "s", "k", "w"), 0);
  EXPECT_TRUE(fs::is_symlink(m_dir.Path() / "link.ini"));
  EXPECT_EQ(m_dir.ReadFile("real.ini"), "[s]\r\nk=w\r\n");
}

TEST_F(ProfilePosix, WritesInPlaceWhenTheFolderTakesNoNewFiles) {
  if (geteuid() == 0) GTEST_SKIP() << "root may create files in any folder";
  fs::create_directory(m_dir.Path() / "ini");
  m_dir.WriteFile("ini/a.ini", "[s]\nk=v\n");
  ASSERT_EQ(chmod(PathOf("ini").c_str(), 0555), 0);
  EXPECT_NE(WriteProfileValue(PathOf("ini/a.ini"), "s", "k", "w"), 0);
  EXPECT_EQ(WriteProfileValue(PathOf("ini/new.ini"), "s", "k", "w"), 0);
  chmod(PathOf("ini").c_str(), 0755);
  EXPECT_EQ(m_dir.ReadFile("ini/a.ini"), "[s]\r\nk=w\r\n");
}

}  // namespace
