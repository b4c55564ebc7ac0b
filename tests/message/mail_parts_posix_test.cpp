// Composed messages read back by Python's email package: every part, its
// charset, name and bytes, the pictures' Content-IDs, the unsubscribe lines.
#include <gtest/gtest.h>

#include "dispatch/footer.h"
#include "message/mail_template.h"
#include "message/parsed_parts.h"
#include "platform/codepage.h"
#include "smtp/mime_header.h"
#include "support/temp_dir.h"

namespace message {
namespace {

using platform::FromUtf8;
using testsupport::ParsedMessage;

std::string Binary(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 256) & 0xFF);
  return bytes;
}

ComposeOptions Options() {
  ComposeOptions options;
  options.m_strSender = "shop@x.cn";
  options.m_strFooter = MailFooter();
  return options;
}

CFieldRow Row() {
  CFieldRow row;
  row.Add(FromUtf8("姓名"), FromUtf8("张<先生>"));
  row.Add(FromUtf8("邮箱"), "z@x.cn");
  return row;
}

// Composes `file` for `row` and reads it back; checks what holds for every
// message: no defects, lines within 78 characters, a CR LF before every
// boundary, and the parts' types in walk order.
ParsedMessage ComposeAndParse(const testsupport::CTempDir& dir, const std::string& file,
                              const ComposeOptions& options, const std::vector<std::string>& types) {
  CMailTemplate mail;
  std::string error;
  EXPECT_TRUE(mail.Load(dir.Path() / file, error)) << error;
  CMailItem item;
  item.m_strSender = options.m_strSender;
  item.AddRecipientList("z@x.cn");
  const CFieldRow row = Row();
  mail.Compose(&row, FromUtf8("{{姓名}}，新品到了"), options, item);
  EXPECT_TRUE(item.BuildHeader());
  const std::string wire = testsupport::WireText(item);
  // Header lines within 78 characters, base64 lines of 76 (the last of a
  // part shorter), 8bit lines within 998 bytes.
  bool inHeader = true;
  bool base64 = false;
  bool eightBit = false;  // the part being read goes as 8bit
  bool eightBitBytes = false;  // some 8bit part holds bytes beyond ASCII
  std::size_t lastLength = 76;
  for (std::size_t at = 0, end; (end = wire.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = wire.substr(at, end - at);
    if (line.starts_with("--=_pw_")) {
      EXPECT_TRUE(at >= 2 && wire.compare(at - 2, 2, "\r\n") == 0);
      inHeader = true;
      base64 = eightBit = false;
      lastLength = 76;
      continue;
    }
    if (inHeader) {
      EXPECT_LE(line.size(), 78u) << line;
      if (line == "Content-Transfer-Encoding: base64") base64 = true;
      if (line == "Content-Transfer-Encoding: 8bit") eightBit = true;
      if (line.empty()) inHeader = false;
    } else if (base64) {
      EXPECT_EQ(lastLength, 76u) << "a short base64 line before the last";
      EXPECT_LE(line.size(), 76u);
      lastLength = line.size();
    } else {
      EXPECT_LE(line.size(), 998u);
      eightBitBytes = eightBitBytes || (eightBit && mime::HasNonAscii(line));
    }
  }
  // A multipart may only be labelled 7bit (by default) or 8bit: 8bit when a
  // part inside is.
  EXPECT_EQ(item.m_strContentHeader.find("Content-Transfer-Encoding: 8bit") != std::string::npos,
            eightBitBytes);
  EXPECT_EQ(wire.find('\n'), wire.find("\r\n") + 1);
  EXPECT_EQ(wire.substr(wire.size() - 2), "\r\n");
  ParsedMessage parsed = testsupport::ParseWithPython(wire, dir.Path());
  EXPECT_EQ(parsed.m_nDefects, 0);
  std::vector<std::string> got;
  for (const auto& part : parsed.m_parts) got.push_back(part.m_strType);
  EXPECT_EQ(got, types);
  return parsed;
}

bool Holds(const std::string& bytes, const std::string& utf8) {
  return bytes.find(utf8) != std::string::npos;
}

TEST(MailPartsTest, HtmlWithPicturesAndAttachments) {
  testsupport::CTempDir dir;
  const std::string longName = "价目表 2026 年第一季度 全部产品 详细价格清单 请查收 谢谢 (修订版).pdf";
  dir.WriteFile("新品快讯.html", FromUtf8(
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
      "<title>标题</title><style>p{color:red} .b{background:url(新品快讯/bg%20one.gif)}</style></head>\n"
      "<body><p>尊敬的{{姓名}}：</p><p>新品<b>已到</b>&amp;&#20013;&#x6587;<br>第二行</p>\n"
      "<img src=\"新品快讯/logo.png\" alt=\"标志\"><img src='http://x.cn/a.png'><img src=\"cid:keep\">"
      "<img src=\"data:image/png;base64,AAAA\"><img src=\"新品快讯/logo.png\">\n"
      "<div class=b>x</div><a href=\"https://x.cn/buy\">购买</a></body></html>\n"));
  const std::string logo = Binary(3000, 1);
  const std::string background = Binary(57 * 3, 2);
  const std::string pdf = Binary(100000, 3);
  dir.WriteFile("新品快讯/logo.png", logo);
  dir.WriteFile("新品快讯/bg one.gif", background);
  dir.WriteFile("新品快讯/" + longName, pdf);
  dir.WriteFile("新品快讯/a.txt", "");

  const ParsedMessage parsed =
      ComposeAndParse(dir, "新品快讯.html", Options(),
                      {"multipart/mixed", "multipart/related", "multipart/alternative", "text/plain",
                       "text/html", "image/gif", "image/png", "text/plain", "application/pdf"});
  ASSERT_EQ(parsed.m_parts.size(), 9u);
  EXPECT_EQ(parsed.m_strSubject, "张<先生>，新品到了");
  EXPECT_EQ(parsed.m_strUnsubscribe, "<mailto:shop@x.cn?subject=unsubscribe>");
  EXPECT_EQ(parsed.m_strUnsubscribePost, "");

  const auto& text = parsed.m_parts[3];
  EXPECT_EQ(text.m_strCharset, "gbk");
  const std::string shown = platform::ToUtf8(text.m_strBytes);
  EXPECT_TRUE(Holds(shown, "尊敬的张<先生>：\n\n新品已到&中文\n第二行\n\n标志\nx\n购买 (https://x.cn/buy)\n")) << shown;
  EXPECT_FALSE(Holds(shown, "标题") || Holds(shown, "color") || Holds(shown, "<b>"));
  EXPECT_TRUE(Holds(text.m_strBytes, FromUtf8("飞鸿信使")));

  const auto& html = parsed.m_parts[4];
  EXPECT_EQ(html.m_strCharset, "gbk");  // gb2312 is sent under its larger name
  const std::string htmlText = platform::ToUtf8(html.m_strBytes);
  EXPECT_TRUE(Holds(htmlText, "尊敬的张&lt;先生&gt;：")) << htmlText;
  EXPECT_TRUE(Holds(htmlText, "'http://x.cn/a.png'") && Holds(htmlText, "\"cid:keep\"") &&
              Holds(htmlText, "data:image/png;base64,AAAA"));
  EXPECT_TRUE(Holds(htmlText, "&lt;飞鸿信使&gt;"));
  EXPECT_LT(htmlText.find("<div>"), htmlText.find("</body>"));

  // Each picture once, named by the Content-ID the HTML uses; not attached again.
  const auto& gif = parsed.m_parts[5];
  const auto& png = parsed.m_parts[6];
  EXPECT_EQ(png.m_strBytes, logo);
  EXPECT_EQ(gif.m_strBytes, background);
  for (const auto* picture : {&png, &gif}) {
    ASSERT_GT(picture->m_strContentId.size(), 2u);
    EXPECT_EQ(picture->m_strDisposition, "inline");
    const std::string cid = "cid:" + picture->m_strContentId.substr(1, picture->m_strContentId.size() - 2);
    EXPECT_TRUE(Holds(htmlText, cid)) << cid;
  }
  EXPECT_EQ(png.m_strFileName, "logo.png");

  EXPECT_EQ(parsed.m_parts[7].m_strFileName, "a.txt");
  EXPECT_EQ(parsed.m_parts[7].m_strBytes, "");
  const auto& attached = parsed.m_parts[8];
  EXPECT_EQ(attached.m_strDisposition, "attachment");
  EXPECT_EQ(attached.m_strFileName, longName);
  EXPECT_EQ(attached.m_strName, longName);
  EXPECT_EQ(attached.m_strBytes, pdf);
}

TEST(MailPartsTest, Utf8HtmlOfCommercialMail) {
  testsupport::CTempDir dir;
  dir.WriteFile("n.htm", "\xEF\xBB\xBF<p>\xE4\xBD\xA0\xE5\xA5\xBD {{\xE5\xA7\x93\xE5\x90\x8D}} \xE2\x82\xAC</p>");
  ComposeOptions options = Options();
  options.m_bAdvert = true;
  options.m_strUnsubscribe = FromUtf8("https://x.cn/退订?e={{邮箱}}");
  const ParsedMessage parsed =
      ComposeAndParse(dir, "n.htm", options, {"multipart/alternative", "text/plain", "text/html"});
  ASSERT_EQ(parsed.m_parts.size(), 3u);
  EXPECT_EQ(parsed.m_strSubject, "(广告)张<先生>，新品到了");
  EXPECT_EQ(parsed.m_strUnsubscribe,
            "<https://x.cn/%E9%80%80%E8%AE%A2?e=z@x.cn>, <mailto:shop@x.cn?subject=unsubscribe>");
  EXPECT_EQ(parsed.m_strUnsubscribePost, "List-Unsubscribe=One-Click");
  const auto& text = parsed.m_parts[1];
  EXPECT_EQ(text.m_strCharset, "utf-8");
  // The euro sign, which GBK lacks, survives in a UTF-8 mail.
  EXPECT_TRUE(Holds(text.m_strBytes, "你好 张<先生> €\n")) << text.m_strBytes;
  EXPECT_TRUE(Holds(text.m_strBytes, "请回复“退订”或访问 https://x.cn/%E9%80%80%E8%AE%A2?e=z@x.cn 退订。"));
  EXPECT_TRUE(Holds(text.m_strBytes, "飞鸿信使"));
  const auto& html = parsed.m_parts[2];
  EXPECT_EQ(html.m_strCharset, "utf-8");
  EXPECT_TRUE(Holds(html.m_strBytes, "张&lt;先生&gt; €")) << html.m_strBytes;
  EXPECT_TRUE(Holds(html.m_strBytes, "&lt;飞鸿信使&gt;"));
}

TEST(MailPartsTest, PlainTextWithAttachments) {
  testsupport::CTempDir dir;
  dir.WriteFile("价目表通知.txt", FromUtf8("您好，价目表见附件。\n"));
  std::string every;
  for (int round = 0; round < 3; ++round) {
    for (int byte = 0; byte < 256; ++byte) every += static_cast<char>(byte);
  }
  const struct {
    std::string name;
    std::string bytes;
  } files[] = {
      {"价目表.pdf", every},
      {"b c.xlsx", Binary(58, 4)},
      {"z", "one"},
  };
  for (const auto& file : files) dir.WriteFile("价目表通知/" + file.name, file.bytes);
  std::filesystem::create_directories(dir.Path() / "价目表通知" / "子目录");
  const ParsedMessage parsed =
      ComposeAndParse(dir, "价目表通知.txt", Options(),
                      {"multipart/mixed", "text/plain",
                       "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
                       "application/octet-stream", "application/pdf"});
  ASSERT_EQ(parsed.m_parts.size(), 5u);
  EXPECT_EQ(parsed.m_parts[1].m_strCharset, "gbk");
  EXPECT_TRUE(Holds(parsed.m_parts[1].m_strBytes, FromUtf8("您好，价目表见附件。\n")));
  // In the code page's byte order: ASCII names before Chinese ones.
  EXPECT_EQ(parsed.m_parts[2].m_strFileName, "b c.xlsx");
  EXPECT_EQ(parsed.m_parts[2].m_strBytes, files[1].bytes);
  EXPECT_EQ(parsed.m_parts[3].m_strFileName, "z");
  EXPECT_EQ(parsed.m_parts[3].m_strBytes, "one");
  EXPECT_EQ(parsed.m_parts[4].m_strFileName, "价目表.pdf");
  EXPECT_EQ(parsed.m_parts[4].m_strName, "价目表.pdf");
  EXPECT_EQ(parsed.m_parts[4].m_strBytes, every);
}

}  // namespace
}  // namespace message
