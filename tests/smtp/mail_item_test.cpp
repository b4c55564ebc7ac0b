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

TEST(MailItemHeaderTest, BuildsFourLines) {
  CMailItem item;
  item.m_strSender = "me@x.cn";
  item.m_strSubject = "\xD6\xD0\xCE\xC4 news";  // GBK bytes go in unchanged
  item.AddRecipientList("Zhang <z@x.cn>;l@x.cn");
  const std::time_t before = std::time(nullptr);
  ASSERT_TRUE(item.BuildHeader());
  EXPECT_GE(item.m_tDate, before);
  EXPECT_LE(item.m_tDate, std::time(nullptr));

  char year[8];
  std::strftime(year, sizeof year, "%y", std::localtime(&item.m_tDate));
  const std::regex pattern(
      "Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d "
      "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) " + std::string(year) +
      " \\d\\d:\\d\\d:\\d\\d [^\r\n]*\r\n"
      "From: me@x.cn\r\n"
      "To: Zhang <z@x.cn>,<l@x.cn>\r\n"
      "Subject: \xD6\xD0\xCE\xC4 news\r\n");
  EXPECT_TRUE(std::regex_match(item.m_strHeader, pattern)) << item.m_strHeader;
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
