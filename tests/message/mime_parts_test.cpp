#include "message/mime_parts.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "smtp/base64.h"
#include "support/temp_dir.h"

namespace message {
namespace {

using platform::FromUtf8;

TEST(MimePartsTest, ContentTypeByExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.pdf", "application/pdf"},     {"B.PDF", "application/pdf"},
      {"x.docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
      {"t.tar.gz", "application/gzip"}, {"p.JPeG", "image/jpeg"},
      {"noext", "application/octet-stream"}, {"a.unknown", "application/octet-stream"},
      {"dir.d/file", "application/octet-stream"}, {"", "application/octet-stream"},
  };
  for (const auto& [name, type] : cases) EXPECT_STREQ(ContentTypeFor(name), type) << name;
}

TEST(MimePartsTest, Base64LinesMatchTheOneLineEncoding) {
  for (std::size_t size : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 114u, 1000u}) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>(i * 37 + 11);
    std::string lines;
    AppendBase64Lines(lines, bytes);
    EXPECT_EQ(lines.size(), Base64LinesSize(size)) << size;
    std::string joined;
    for (std::size_t at = 0; at < lines.size(); at += 78) {
      const std::size_t end = lines.find("\r\n", at);
      ASSERT_NE(end, std::string::npos);
      EXPECT_LE(end - at, 76u);
      joined += lines.substr(at, end - at);
      at = end + 2 - 78;
    }
    EXPECT_EQ(joined, Base64Encode(bytes)) << size;
  }
}

TEST(MimePartsTest, FileNameParametersStayWithinTheLine) {
  const std::string names[] = {
      "plain.pdf",
      "with blank.pdf",
      "价目表.pdf",
      "a\"quote.txt",
      "价目表 2026 年第一季度 全部产品 详细价格清单 请查收 谢谢 再次感谢 (修订版) 最终版 确认.pdf",
      std::string(120, 'x') + ".txt",
  };
  for (const std::string& utf8 : names) {
    for (bool words : {false, true}) {
      const std::string parameter = FileNameParameter("filename", FromUtf8(utf8), words);
      ASSERT_TRUE(parameter.starts_with("\r\n ")) << parameter;
      for (std::size_t at = 2, end; at < parameter.size(); at = end + 2) {
        end = parameter.find("\r\n", at);
        if (end == std::string::npos) end = parameter.size();
        EXPECT_LE(end - at + 1, 78u) << parameter;  // the ";" or nothing after it
      }
    }
  }
  EXPECT_EQ(FileNameParameter("name", "a b.pdf", true), "\r\n name=\"a b.pdf\"");
  EXPECT_EQ(FileNameParameter("filename", FromUtf8("表.pdf"), false), "\r\n filename*=UTF-8''%E8%A1%A8.pdf");
}

TEST(MimePartsTest, TextPartsAndBoundaries) {
  const std::string part = TextPart(".\n.x\nend", "plain", "GBK", false);
  EXPECT_EQ(part, "Content-Type: text/plain; charset=GBK\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                  "..\r\n..x\r\nend\r\n");
  const std::string wide = TextPart(std::string(999, 'x'), "plain", "GBK", false);
  EXPECT_NE(wide.find("base64"), std::string::npos);
  const std::string html = TextPart(std::string("a\0b", 3), "html", "UTF-8", false);
  EXPECT_EQ(html, "Content-Type: text/html; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\nab\r\n");
  const std::string one = MakeBoundary();
  EXPECT_NE(one, MakeBoundary());
  EXPECT_TRUE(one.starts_with("=_"));
}

TEST(MimePartsTest, FilePartEncodesTheWholeFile) {
  testsupport::CTempDir dir;
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i % 251);
  dir.WriteFile("f.bin", bytes);
  SharedPiece part;
  std::uint64_t size = 0;
  ASSERT_TRUE(EncodeFilePart(dir.Path() / "f.bin", "f.bin", "id@x", part, size));
  EXPECT_EQ(size, bytes.size());
  const std::size_t body = part->find("\r\n\r\n") + 4;
  EXPECT_NE(part->find("Content-ID: <id@x>\r\n"), std::string::npos);
  EXPECT_NE(part->find("Content-Disposition: inline;"), std::string::npos);
  std::string joined;
  for (std::size_t at = body; at < part->size();) {
    const std::size_t end = part->find("\r\n", at);
    joined += part->substr(at, end - at);
    at = end + 2;
  }
  EXPECT_EQ(joined, Base64Encode(bytes));
  EXPECT_FALSE(EncodeFilePart(dir.Path() / "missing", "m", "", part, size));
  EXPECT_FALSE(EncodeFilePart(dir.Path(), "folder", "", part, size));
}

}  // namespace
}  // namespace message
