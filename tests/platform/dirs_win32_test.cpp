#include "platform/dirs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace {

using platform::FromUtf8;

TEST(DirsWin32, ListsEntriesWithDotsAndTellsFoldersApart) {
  testsupport::CTempDir dir;
  dir.WriteFile("mail/a.txt", "a");
  dir.WriteFile("mail/信件.txt", "c");
  std::filesystem::create_directory(dir.Path() / L"mail" / L"子目录");

  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(platform::PathToCodePage(dir.Path() / "mail"), entries));
  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (const auto& entry : entries) {
    EXPECT_FALSE(entry.m_bSpecial) << entry.m_strName;
    (entry.m_bDirectory ? folders : files).push_back(entry.m_strName);
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(files, (std::vector<std::string>{"a.txt", FromUtf8("信件.txt")}));
  EXPECT_EQ(folders, (std::vector<std::string>{".", "..", FromUtf8("子目录")}));

  // A trailing separator makes no difference; a missing folder cannot be read.
  ASSERT_TRUE(
      platform::ListDirectory(platform::PathToCodePage(dir.Path() / "mail") + "\\", entries));
  EXPECT_EQ(entries.size(), 5u);
  EXPECT_FALSE(platform::ListDirectory(platform::PathToCodePage(dir.Path() / "none"), entries));
}

TEST(DirsWin32, WorkingDirectoryChangesAndRefusesBadNames) {
  testsupport::CTempDir dir;
  testsupport::CWorkingDirGuard guard(dir.Path());
  const std::string start = platform::GetWorkingDir();
  EXPECT_EQ(start, platform::PathToCodePage(dir.Path()));
  dir.WriteFile("文件夹/x", "");
  ASSERT_TRUE(platform::SetWorkingDir(FromUtf8("文件夹")));
  EXPECT_EQ(platform::GetWorkingDir(), start + "\\" + FromUtf8("文件夹"));
  EXPECT_FALSE(platform::SetWorkingDir(""));
  EXPECT_FALSE(platform::SetWorkingDir("missing"));
  EXPECT_EQ(std::filesystem::current_path(), dir.Path() / L"文件夹");
}

TEST(DirsWin32, AbsolutePathsStartAtARootOrADrive) {
  for (const char* path : {"C:\\mail\\list.txt", "c:list.txt", "\\mail\\list.txt", "/mail/list.txt",
                           "\\\\server\\share\\list.txt"}) {
    EXPECT_TRUE(platform::IsAbsolutePath(path)) << path;
  }
  for (const char* path : {"list.txt", ".\\list.txt", "..\\list.txt", "1:list.txt", ""}) {
    EXPECT_FALSE(platform::IsAbsolutePath(path)) << path;
  }
}

TEST(DirsWin32, FileSizeOfFilesOnly) {
  testsupport::CTempDir dir;
  dir.WriteFile("大小.txt", std::string(1234, 'x'));
  EXPECT_EQ(platform::FileSizeOrZero(platform::PathToCodePage(dir.Path() / L"大小.txt")), 1234u);
  EXPECT_EQ(platform::FileSizeOrZero(platform::PathToCodePage(dir.Path())), 0u);
  EXPECT_EQ(platform::FileSizeOrZero(platform::PathToCodePage(dir.Path() / "none")), 0u);
}

}  // namespace
