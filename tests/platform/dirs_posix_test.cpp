#include "platform/dirs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace {

TEST(Dirs, ListsEntriesWithDotsAndTellsFoldersApart) {
  testsupport::CTempDir dir;
  dir.WriteFile("mail/a.txt", "a");
  dir.WriteFile("mail/.hidden", "h");
  dir.WriteFile("mail/信件.txt", "c");
  std::filesystem::create_directory(dir.Path() / "mail/sub");
  std::filesystem::create_directory_symlink(dir.Path() / "mail/sub", dir.Path() / "mail/link");

  ASSERT_EQ(mkfifo((dir.Path() / "mail/pipe").c_str(), 0600), 0);

  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(platform::PathToCodePage(dir.Path() / "mail"), entries));
  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (const auto& entry : entries) {
    if (entry.m_bSpecial) {
      EXPECT_EQ(entry.m_strName, "pipe");
      continue;
    }
    (entry.m_bDirectory ? folders : files).push_back(entry.m_strName);
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(files, (std::vector<std::string>{".hidden", "a.txt", platform::FromUtf8("信件.txt")}));
  EXPECT_EQ(folders, (std::vector<std::string>{".", "..", "link", "sub"}));

  EXPECT_FALSE(platform::ListDirectory(platform::PathToCodePage(dir.Path() / "none"), entries));
}

TEST(Dirs, WorkingDirectoryChangesAndRefusesBadNames) {
  testsupport::CTempDir dir;
  testsupport::CWorkingDirGuard guard(dir.Path());
  const std::string start = platform::GetWorkingDir();
  dir.WriteFile("文件夹/x", "");
  ASSERT_TRUE(platform::SetWorkingDir(platform::FromUtf8("文件夹")));
  EXPECT_EQ(platform::GetWorkingDir(), start + platform::FromUtf8("/文件夹"));
  EXPECT_FALSE(platform::SetWorkingDir(""));
  EXPECT_FALSE(platform::SetWorkingDir("missing"));
  EXPECT_EQ(std::filesystem::current_path(), dir.Path() / std::filesystem::u8path("文件夹"));
}

TEST(Dirs, AbsolutePathsStartAtTheRoot) {
  EXPECT_TRUE(platform::IsAbsolutePath("/tmp/list.txt"));
  EXPECT_FALSE(platform::IsAbsolutePath("list.txt"));
  EXPECT_FALSE(platform::IsAbsolutePath("./list.txt"));
  EXPECT_FALSE(platform::IsAbsolutePath(""));
}

}  // namespace
