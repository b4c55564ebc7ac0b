#include "platform/codepage.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace {

// Everything below, and every GBK text in the other tests, assumes the
// Chinese ANSI code page the program runs with.
TEST(CodePageWin32, AnsiCodePageIsGbk) { ASSERT_EQ(GetACP(), 936u); }

TEST(CodePageWin32, CharacterOutsideTheCodePageBecomesQuestionMark) {
  // Hangul is not in code page 936.
  EXPECT_EQ(platform::FromUtf8("a한b"), "a?b");
}

TEST(CodePageWin32, NativePathNamesTheFileOnDisk) {
  testsupport::CTempDir dir;
  const std::string gbkName = platform::FromUtf8("运行报告.txt");
  const std::filesystem::path native = platform::NativePath(gbkName);
  EXPECT_EQ(native.wstring(), L"运行报告.txt");
  EXPECT_EQ(platform::PathToCodePage(native), gbkName);

  // The ANSI file calls take the code-page bytes; they must reach the same file.
  { std::ofstream(dir.Path() / native, std::ios::binary) << "x"; }
  const std::string ansiPath = platform::PathToCodePage(dir.Path()) + "\\" + gbkName;
  EXPECT_NE(GetFileAttributesA(ansiPath.c_str()), INVALID_FILE_ATTRIBUTES) << ansiPath;
}

}  // namespace
