#include "message/mail_template.h"

#include <gtest/gtest.h>

#include <regex>

#include "dispatch/footer.h"
#include "message/unsubscribe.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace message {
namespace {

using platform::FromUtf8;

// The header without the lines that differ from one build to the next.
std::string StableHeader(const std::string& header) {
  return std::regex_replace(header, std::regex("(Date|Message-ID): [^\r]*\r\n"), "");
}

std::string WithoutUnsubscribe(const std::string& header) {
  return std::regex_replace(header, std::regex("List-Unsubscribe(-Post)?: [^\r]*\r\n( [^\r]*\r\n)*"), "");
}

ComposeOptions Options() {
  ComposeOptions options;
  options.m_strSender = "shop@x.cn";
  options.m_strFooter = MailFooter();
  return options;
}

bool Load(CMailTemplate& mail, const std::filesystem::path& file) {
  std::string error;
  const bool loaded = mail.Load(file, error);
  EXPECT_TRUE(loaded) << error;
  return loaded;
}

TEST(MailTemplatePlainTest, PlainTextToPlainListIsTodaysMessage) {
  // Text-mode reading: CR LF and lone LF lines, a Ctrl-Z end, a dot line,
  // an overlong line (base64), no last line end.
  const std::string bodies[] = {
      FromUtf8("您好：\r\n新品已到。\r\n.\r\n..x\r\n"),
      "a\nb\r\nc",
      "text\x1A ignored",
      std::string(1200, 'x') + "\n",
      "",
  };
  testsupport::CTempDir dir;
  for (const std::string& body : bodies) {
    dir.WriteFile("mail.txt", body);
    CMailTemplate mail;
    ASSERT_TRUE(Load(mail, dir.Path() / "mail.txt"));
    EXPECT_FALSE(mail.IsHtml());

    // Today: every line and "\n", the footer, CR LF line ends.
    CMailItem today;
    today.AddRecipientList("Zhang<z@x.cn>");
    today.m_strSender = "shop@x.cn";
    today.m_strSubject = FromUtf8("通知");
    std::string text;
    std::string rest = body.substr(0, body.find('\x1A'));
    for (std::size_t at = 0; at < rest.size();) {
      std::size_t lf = rest.find('\n', at);
      std::string line = rest.substr(at, lf == std::string::npos ? std::string::npos : lf - at);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      text += line + "\n";
      at = lf == std::string::npos ? rest.size() : lf + 1;
    }
    today.m_strBody = text + MailFooter();
    NormalizeLineEnds(today.m_strBody);

    CMailItem composed;
    composed.AddRecipientList("Zhang<z@x.cn>");
    composed.m_strSender = "shop@x.cn";
    mail.Compose(nullptr, FromUtf8("通知"), Options(), composed);
    EXPECT_EQ(composed.m_strBody, today.m_strBody);
    EXPECT_TRUE(composed.m_wireBody.empty());
    ASSERT_TRUE(today.BuildHeader());
    ASSERT_TRUE(composed.BuildHeader());
    EXPECT_EQ(WithoutUnsubscribe(StableHeader(composed.m_strHeader)), StableHeader(today.m_strHeader));
    EXPECT_NE(composed.m_strHeader.find("\r\nMIME-Version: 1.0\r\n"
                                        "List-Unsubscribe: <mailto:shop@x.cn?subject=unsubscribe>\r\n"
                                        "Content-Type: text/plain; charset=GBK\r\n"),
              std::string::npos)
        << composed.m_strHeader;
    EXPECT_EQ(composed.m_bBase64Body, today.m_bBase64Body);
  }
}

TEST(MailTemplatePlainTest, MergesRowsAndAddsTheRefusalLine) {
  testsupport::CTempDir dir;
  dir.WriteFile("mail.txt", FromUtf8("尊敬的{{姓名}}：\n{{公司}}的订单已发出。\n"));
  CMailTemplate mail;
  ASSERT_TRUE(Load(mail, dir.Path() / "mail.txt"));
  EXPECT_EQ(mail.FieldsUsed(), (std::vector<std::string>{FromUtf8("姓名"), FromUtf8("公司")}));
  CFieldRow row;
  row.Add(FromUtf8("姓名"), FromUtf8("张先生"));
  row.Add(FromUtf8("公司"), "A&B");
  row.Add(FromUtf8("邮箱"), "z@x.cn");

  struct Case {
    bool advert;
    std::string unsubscribe;
    std::string refusal;  // the line before the footer, "" for none
  };
  const Case cases[] = {
      {false, "", ""},
      {true, "", "如不希望再收到此类邮件，请回复“退订”。"},
      {true, "https://x.cn/u?m={{邮箱}}", "如不希望再收到此类邮件，请回复“退订”或访问 https://x.cn/u?m=z@x.cn 退订。"},
  };
  for (const Case& c : cases) {
    ComposeOptions options = Options();
    options.m_bAdvert = c.advert;
    options.m_strUnsubscribe = FromUtf8(c.unsubscribe);
    CMailItem item;
    mail.Compose(&row, FromUtf8("{{姓名}}，新品"), options, item);
    std::string expected = FromUtf8("尊敬的张先生：\nA&B的订单已发出。\n");
    if (!c.refusal.empty()) expected += "\n" + FromUtf8(c.refusal) + "\n";
    expected += MailFooter();
    EXPECT_EQ(mail.TextFor(&row, options), expected);
    NormalizeLineEnds(expected);
    EXPECT_EQ(item.m_strBody, expected);
    EXPECT_EQ(item.m_strSubject, FromUtf8(c.advert ? "(广告)张先生，新品" : "张先生，新品"));
    EXPECT_EQ(mail.HtmlFor(&row, options), "");
  }
}

TEST(MailTemplatePlainTest, MissingFileNamesIt) {
  testsupport::CTempDir dir;
  CMailTemplate mail;
  std::string error;
  EXPECT_FALSE(mail.Load(dir.Path() / platform::NativePath(FromUtf8("通知.txt")), error));
  EXPECT_NE(error.find(FromUtf8("通知.txt")), std::string::npos);
}

TEST(MailTemplateHtmlTest, LoadFailuresNameWhatIsMissing) {
  struct Case {
    std::string file;
    std::string html;
    const char* error;
  };
  const Case cases[] = {
      {"新品.html", FromUtf8("<img src=\"新品快讯/logo.png\">"),
       "邮件 新品.html 用到的图片 新品快讯/logo.png 无法读取。"},
      {"u.html", "\xEF\xBB\xBF<img src=\"%E5%9B%BE.png\">", "邮件 u.html 用到的图片 图.png 无法读取。"},
      {"d.htm", "<img src=\"folder\">", "邮件 d.htm 用到的图片 folder 无法读取。"},
      {"w.htm", std::string("\xFF\xFE<\0", 4), "邮件 w.htm 是 UTF-16 编码，请另存为 UTF-8 或 GBK 后再发送。"},
      {"b.htm", "<meta charset=big5>", "邮件 b.htm 声明的字符集 big5 不受支持，请另存为 UTF-8 或 GBK 后再发送。"},
  };
  testsupport::CTempDir dir;
  std::filesystem::create_directories(dir.Path() / "folder");
  for (const Case& c : cases) {
    dir.WriteFile(c.file, c.html);
    CMailTemplate mail;
    std::string error;
    EXPECT_FALSE(mail.Load(dir.Path() / std::filesystem::u8path(c.file), error)) << c.file;
    EXPECT_EQ(platform::ToUtf8(error), c.error);
  }
}

TEST(MailTemplateHtmlTest, PreviewTextsInTheCodePage) {
  testsupport::CTempDir dir;
  dir.WriteFile("p.html", "<meta charset=\"utf-8\"><body><p>\xE4\xBD\xA0\xE5\xA5\xBD {{\xE5\x90\x8D}}</p>"
                          "<img src=\"p/i.png\"></body>");
  dir.WriteFile("p/i.png", "PNG");
  dir.WriteFile("p/x.pdf", "PDF");
  CMailTemplate mail;
  ASSERT_TRUE(Load(mail, dir.Path() / "p.html"));
  EXPECT_TRUE(mail.IsHtml());
  EXPECT_EQ(mail.FieldsUsed(), std::vector<std::string>{FromUtf8("名")});
  ASSERT_EQ(mail.Pictures().size(), 1u);
  EXPECT_EQ(mail.Pictures()[0].m_strName, "p/i.png");
  EXPECT_EQ(mail.Pictures()[0].m_nSize, 3u);
  ASSERT_EQ(mail.Attachments().size(), 1u);  // the picture is not attached again
  EXPECT_EQ(mail.Attachments()[0].m_strName, "x.pdf");
  CFieldRow row;
  row.Add(FromUtf8("名"), FromUtf8("李&"));
  ComposeOptions options = Options();
  options.m_strFooter = "\n\nF<>\n";
  EXPECT_EQ(mail.TextFor(&row, options), FromUtf8("你好 李&\n") + "\n\nF<>\n");
  // The preview's HTML names the picture by its own address, to be shown from the folder.
  EXPECT_EQ(mail.HtmlFor(&row, options),
            FromUtf8("<meta charset=\"utf-8\"><body><p>你好 李&amp;</p><img src=\"p/i.png\">") +
                "\n<div>F&lt;&gt;</div>\n</body>");
}

TEST(UnsubscribeTest, HeaderLines) {
  struct Case {
    std::string sender;
    std::string url;
    const char* row;  // the 邮箱 cell
    std::string expected;
  };
  const std::string longPath(90, 'p');
  const Case cases[] = {
      {"shop@x.cn", "", "", "List-Unsubscribe: <mailto:shop@x.cn?subject=unsubscribe>\r\n"},
      {"shop@x.cn", "https://x.cn/u?e={{邮箱}}", "a b+c@x.cn",
       "List-Unsubscribe: <https://x.cn/u?e=a%20b%2Bc@x.cn>,\r\n <mailto:shop@x.cn?subject=unsubscribe>\r\n"
       "List-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n"},
      {"shop@x.cn", "https://x.cn/退订 {{邮箱}}", "张",
       "List-Unsubscribe: <https://x.cn/%E9%80%80%E8%AE%A2%20%E5%BC%A0>,\r\n"
       " <mailto:shop@x.cn?subject=unsubscribe>\r\n"
       "List-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n"},
      {"shop@x.cn", "https://x.cn/" + longPath, "",
       "List-Unsubscribe: <https://x.cn/" + longPath.substr(0, 46) + "\r\n " + longPath.substr(46) +
           ">,\r\n <mailto:shop@x.cn?subject=unsubscribe>\r\n"
           "List-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n"},
  };
  for (const Case& c : cases) {
    CFieldRow row;
    row.Add(FromUtf8("邮箱"), FromUtf8(c.row));
    const std::string url = MergeUnsubscribeUrl(FromUtf8(c.url), &row);
    const std::string lines = UnsubscribeHeaderLines(c.sender, url);
    EXPECT_EQ(lines, c.expected);
    for (std::size_t at = 0, end; (end = lines.find("\r\n", at)) != std::string::npos; at = end + 2) {
      EXPECT_LE(end - at, 78u) << lines;
    }
  }
}

TEST(UnsubscribeTest, AdvertSubject) {
  const std::pair<const char*, const char*> cases[] = {
      {"新品", "(广告)新品"},         {"广告：新品", "广告：新品"}, {"AD new", "AD new"},
      {"ad new", "ad new"},           {"[AD] x", "[AD] x"},         {"【广告】x", "【广告】x"},
      {"(广告)x", "(广告)x"},         {"", "(广告)"},               {"A", "(广告)A"},
  };
  for (const auto& [subject, expected] : cases) {
    EXPECT_EQ(platform::ToUtf8(AdvertSubject(FromUtf8(subject))), expected) << subject;
  }
}

}  // namespace
}  // namespace message
