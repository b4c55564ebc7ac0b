#include "smtp/mail_item.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

std::vector<MailRecipient> Recipients(const CMailItem& item) {
  std::vector<MailRecipient> all;
  MailRecipient one;
  for (int i = 0; item.GetRecipient(one.m_strAddress, one.m_strName, i); ++i) all.push_back(one);
  return all;
}

std::string ToLine(const CMailItem& item) {
  const std::string& header = item.m_strHeader;
  std::size_t start = header.find("\r\nTo: ");
  if (start == std::string::npos) return "<none>";
  start += 6;
  return header.substr(start, header.find("\r\n", start) - start);
}

TEST(MailItemRecipientsTest, ParsesEntriesAsTheyStand) {
  struct Case {
    const char* list;
    std::vector<std::pair<std::string, std::string>> expected;  // address, name
  };
  const Case cases[] = {
      {"a@x.cn", {{"a@x.cn", ""}}},
      {"Zhang <z@x.cn>", {{"z@x.cn", "Zhang "}}},
      {"a@x.cn;Li<l@x.cn>", {{"a@x.cn", ""}, {"l@x.cn", "Li"}}},
      {"a@x.cn;", {{"a@x.cn", ""}, {"", ""}}},
      {"", {{"", ""}}},
      {" a@x.cn ", {{" a@x.cn ", ""}}},
      {"N<a@x.cn>tail", {{"a@x.cn", "N"}}},
  };
  for (const Case& c : cases) {
    CMailItem item;
    EXPECT_TRUE(item.AddRecipientList(c.list)) << c.list;
    auto got = Recipients(item);
    ASSERT_EQ(got.size(), c.expected.size()) << c.list;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].m_strAddress, c.expected[i].first) << c.list;
      EXPECT_EQ(got[i].m_strName, c.expected[i].second) << c.list;
    }
  }
}

TEST(MailItemRecipientsTest, BadEntryStopsParsingAndKeepsEarlierOnes) {
  for (const char* list : {"a@x.cn;N<b@x.cn;c@x.cn", "a@x.cn;N>b@x.cn<;c@x.cn"}) {
    CMailItem item;
    EXPECT_FALSE(item.AddRecipientList(list)) << list;
    ASSERT_EQ(item.GetRecipientCount(), 1) << list;
  }
}

TEST(MailItemRecipientsTest, GetRecipientOutOfRangeLeavesOutputs) {
  CMailItem item;
  item.AddRecipient("a@x.cn", "A");
  std::string address = "keep", name = "keep";
  EXPECT_FALSE(item.GetRecipient(address, name, 1));
  EXPECT_FALSE(item.GetRecipient(address, name, -1));
  EXPECT_EQ(address + name, "keepkeep");
  EXPECT_TRUE(item.GetRecipient(address, name, 0));
  EXPECT_EQ(address + name, "a@x.cnA");
}

TEST(MailItemHeaderTest, BuildsTheHeaderLinesInOrder) {
  CMailItem item;
  item.m_strSender = "Me <me@x.cn>";
  item.m_strSubject = "\xD6\xD0\xCE\xC4 news";  // GBK: encoded
  item.AddRecipientList("\xD5\xC5\xC8\xFD<z@x.cn>;l@x.cn;Li <li@x.cn>");
  item.m_strBody = "short line\n";
  const std::time_t before = std::time(nullptr);
  ASSERT_TRUE(item.BuildHeader());
  EXPECT_GE(item.m_tDate, before);
  EXPECT_LE(item.m_tDate, std::time(nullptr));

  // The date in English with the year in full, the same wall-clock time the
  // C library gives; the zone as a number.
  std::tm local = *std::localtime(&item.m_tDate);
  char wall[64];
  std::strftime(wall, sizeof wall, "%d %Y %H:%M:%S", &local);
  const std::regex pattern(
      "Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "\\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r\n"
      "From: Me <me@x.cn>\r\n"
      "To: =\\?GBK\\?B\\?1cXI/Q==\\?= <z@x.cn>,<l@x.cn>,Li <li@x.cn>\r\n"
      "Subject: =\\?GBK\\?B\\?1tDOxCBuZXdz\\?=\r\n"
      "Message-ID: <[0-9a-f]+\\.[0-9a-f]+@x\\.cn>\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=GBK\r\n"
      "Content-Transfer-Encoding: 8bit\r\n");
  EXPECT_TRUE(std::regex_match(item.m_strHeader, pattern)) << item.m_strHeader;
  const std::string date = item.m_strHeader.substr(11, item.m_strHeader.find("\r\n") - 11);
  EXPECT_EQ(date.substr(0, 2) + date.substr(6, 14), std::string(wall)) << date;
  EXPECT_FALSE(item.m_bBase64Body);

  // ASCII subjects stay as they are; a fresh Message-ID each time.
  const std::string firstId = item.m_strHeader.substr(item.m_strHeader.find("Message-ID"), 40);
  item.m_strSubject = "plain news";
  ASSERT_TRUE(item.BuildHeader());
  EXPECT_NE(item.m_strHeader.find("\r\nSubject: plain news\r\n"), std::string::npos);
  EXPECT_NE(item.m_strHeader.substr(item.m_strHeader.find("Message-ID"), 40), firstId);
}

TEST(MailItemHeaderTest, ChoosesBase64ForOverlongBodyLines) {
  const struct {
    std::string m_strBody;
    bool m_bBase64;
  } rows[] = {
      {std::string(998, 'a') + "\r\n" + std::string(998, 'b'), false},
      {std::string(999, 'a') + "\n", true},
      {"x\n" + std::string(999, 'b'), true},
      {std::string(600, 'a') + "\r" + std::string(600, 'b'), false},  // a lone CR ends a line too
      {std::string(600, 'a') + "\r\n\r\n" + std::string(1200, '\r'), false},
  };
  for (const auto& row : rows) {
    CMailItem item;
    item.AddRecipient("a@x.cn", "");
    item.m_strBody = row.m_strBody;
    ASSERT_TRUE(item.BuildHeader());
    EXPECT_EQ(item.m_bBase64Body, row.m_bBase64) << row.m_strBody.size();
    EXPECT_NE(item.m_strHeader.find(row.m_bBase64 ? "Content-Transfer-Encoding: base64\r\n"
                                                  : "Content-Transfer-Encoding: 8bit\r\n"),
              std::string::npos);
  }
}

TEST(MailItemHeaderTest, RefusesItemWithoutRecipients) {
  CMailItem item;
  item.m_strHeader = "old";
  EXPECT_FALSE(item.BuildHeader());
  EXPECT_EQ(item.m_strHeader, "old");
}

TEST(MailItemHeaderTest, DropsLineBreaksFromValues) {
  CMailItem item;
  item.m_strSender = "me@x.cn\r\nBcc: victim@x.cn";
  item.m_strSubject = "hi\nX-Injected: 1";
  item.AddRecipient("z@x.cn\r", "Zh\rang\n");
  ASSERT_TRUE(item.BuildHeader());
  EXPECT_NE(item.m_strHeader.find("From: me@x.cnBcc: victim@x.cn\r\n"), std::string::npos);
  EXPECT_NE(item.m_strHeader.find("Subject: hiX-Injected: 1\r\n"), std::string::npos);
  EXPECT_EQ(ToLine(item), "Zhang<z@x.cn>");
  // The fields themselves keep what the caller put there.
  EXPECT_EQ(item.m_strSubject, "hi\nX-Injected: 1");
}

TEST(MailItemEscapeTest, DoublesTheDotOfEveryDotLine) {
  struct Case {
    const char* body;
    const char* escaped;
  };
  const Case cases[] = {
      {".\r\nabc", "..\r\nabc"},
      {"a\r\n.\r\nb", "a\r\n..\r\nb"},
      {"a\r\n.\r\n.\r\nb", "a\r\n..\r\n..\r\nb"},
      // Lines that go on after the dot: a server would strip their dot.
      {"a\r\n.b\r\n..\r\n", "a\r\n..b\r\n...\r\n"},
      // A last line without its line end must not become a lone dot later.
      {"a\r\n.", "a\r\n.."},
      {"a.b\r\n x.\r\n", "a.b\r\n x.\r\n"},
      {"a\n.\nb", "a\n.\nb"},  // lines end in CR LF by the time a body is escaped
      {"", ""},
  };
  for (const Case& c : cases) {
    CMailItem item;
    item.m_strBody = c.body;
    item.EscapeBody();
    EXPECT_EQ(item.m_strBody, c.escaped) << c.body;
  }
}

TEST(LineEndsTest, NormalisesBareLfAndCr) {
  struct Case {
    const char* text;
    const char* normal;
  };
  const Case cases[] = {
      {"a\nb", "a\r\nb"},
      {"a\rb", "a\r\nb"},
      {"a\r\nb", "a\r\nb"},
      {"a\r\r\n", "a\r\n\r\n"},
      {"\n\r", "\r\n\r\n"},
      {"a\n.\n", "a\r\n.\r\n"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    NormalizeLineEnds(text);
    EXPECT_EQ(text, c.normal) << c.text;
  }
  EXPECT_EQ(WithoutLineBreaks("a\r\nb\rc\nd"), "abcd");
}

}  // namespace

TEST(MailItemPartsTest, OwnContentHeaderAndExtraLines) {
  CMailItem item;
  item.m_strSender = "a@x.cn";
  item.AddRecipientList("b@x.cn");
  item.m_strBody = std::string(2000, 'x');  // would be base64 as a text/plain body
  item.m_strExtraHeader = "List-Unsubscribe: <mailto:a@x.cn?subject=unsubscribe>\r\n";
  item.m_strContentHeader = "Content-Type: multipart/mixed;\r\n boundary=\"b\"\r\n";
  item.m_wireBody.push_back(std::make_shared<const std::string>("--b--\r\n"));
  ASSERT_TRUE(item.BuildHeader());
  EXPECT_FALSE(item.m_bBase64Body);
  EXPECT_TRUE(item.m_strHeader.ends_with(
      "\r\nMIME-Version: 1.0\r\nList-Unsubscribe: <mailto:a@x.cn?subject=unsubscribe>\r\n"
      "Content-Type: multipart/mixed;\r\n boundary=\"b\"\r\n"))
      << item.m_strHeader;
  EXPECT_EQ(item.m_strHeader.find("text/plain"), std::string::npos);
}
