#include "platform/textfile.h"

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace {

class TextFile : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& relative) const {
    return platform::PathToCodePage(m_dir.Path() / relative);
  }
  std::vector<std::string> Lines(const std::string& bytes) {
    m_dir.WriteFile("t.txt", bytes);
    platform::CTextFileReader reader;
    EXPECT_TRUE(reader.Open(PathOf("t.txt")));
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line)) lines.push_back(line);
    EXPECT_FALSE(reader.ReadLine(line));
    return lines;
  }

  testsupport::CTempDir m_dir;
};

using LineList = std::vector<std::string>;

TEST_F(TextFile, ReadsInTextMode) {
  EXPECT_EQ(Lines("a\rb\r\nc\n"), (LineList{"a\rb", "c"}));
  EXPECT_EQ(Lines("a\r\r\nb"), (LineList{"a\r", "b"}));
  EXPECT_EQ(Lines("ab\x1A" "cd\r\nef"), (LineList{"ab"}));
  EXPECT_EQ(Lines("x\r\n\x1A"), (LineList{"x"}));
  EXPECT_EQ(Lines("one\n\ntwo\r\n\r\n"), (LineList{"one", "", "two", ""}));
  EXPECT_EQ(Lines("tail\r"), (LineList{"tail\r"}));
  EXPECT_EQ(Lines(""), LineList{});
  EXPECT_EQ(Lines(std::string("n\0ul\r\n", 6)), (LineList{std::string("n\0ul", 4)}));
  EXPECT_EQ(Lines("\xD6\xD0\xCE\xC4\r\n"), (LineList{"\xD6\xD0\xCE\xC4"}));
}

TEST_F(TextFile, LineEndsAcrossBlockBoundaries) {
  // A CR LF pair straddles every power-of-two offset from 1 KiB to 4 MiB, so
  // whatever block size the reader uses, some pair is split between two reads.
  std::string bytes(std::size_t{1} << 22, 'a');
  std::vector<std::size_t> crs;
  for (std::size_t p = 1024; p < bytes.size(); p *= 2) {
    bytes[p - 1] = '\r';
    bytes[p] = '\n';
    crs.push_back(p - 1);
  }
  bytes.back() = '\r';  // a lone CR at the very end stays
  const LineList lines = Lines(bytes);
  ASSERT_EQ(lines.size(), crs.size() + 1);
  std::size_t start = 0;
  for (std::size_t i = 0; i < crs.size(); ++i) {
    EXPECT_EQ(lines[i], std::string(crs[i] - start, 'a')) << i;
    start = crs[i] + 2;
  }
  EXPECT_EQ(lines.back(), std::string(bytes.size() - 1 - start, 'a') + "\r");
}

TEST_F(TextFile, ReopenStartsAfresh) {
  m_dir.WriteFile("a.txt", "a1\na2\n");
  m_dir.WriteFile("b.txt", "b1\n");
  platform::CTextFileReader reader;
  std::string line;
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_FALSE(reader.Open(PathOf("missing.txt")));
  EXPECT_FALSE(reader.IsOpen());
  ASSERT_TRUE(reader.Open(PathOf("a.txt")));
  ASSERT_TRUE(reader.ReadLine(line));
  ASSERT_TRUE(reader.Open(PathOf("b.txt")));
  ASSERT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "b1");
  EXPECT_FALSE(reader.ReadLine(line));
  reader.Close();
  EXPECT_FALSE(reader.IsOpen());
}

TEST_F(TextFile, AppendsInTextModeOnlyToAnExistingFile) {
  m_dir.WriteFile("r.txt", "old\r\n");
  EXPECT_TRUE(platform::AppendToExistingTextFile(PathOf("r.txt"), "a\nb\r\n"));
  EXPECT_TRUE(platform::AppendToExistingTextFile(PathOf("r.txt"), ""));
  EXPECT_EQ(m_dir.ReadFile("r.txt"), "old\r\na\r\nb\r\r\n");
  EXPECT_FALSE(platform::AppendToExistingTextFile(PathOf("none.txt"), "x\n"));
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "none.txt"));
}

TEST_F(TextFile, NamesInTheCodePage) {
  const std::string name = platform::FromUtf8("运行报告.txt");
  m_dir.WriteFile("运行报告.txt", "");
  EXPECT_TRUE(platform::AppendToExistingTextFile(PathOf("") + name, "\xD6\xD0\n"));
  EXPECT_EQ(m_dir.ReadFile("运行报告.txt"), "\xD6\xD0\r\n");
}

}  // namespace
