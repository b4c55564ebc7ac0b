// Runs from an address table against the scripted server: each row's merged
// subject, display names and body as Python's email package reads them back,
// the checks that stop a run before its first message, and the journal and
// the record of a keep-going run naming the rows.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "batch_run_fixture.h"
#include "dispatch/run_journal.h"
#include "dispatch/send_record_reader.h"
#include "message/parsed_parts.h"

namespace batchtest {
namespace {

using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;

const char kMark[] = "\xEF\xBB\xBF";
const char kTable[] =
    "姓名,邮箱,公司,主题\r\n"
    "张三,a@x.cn,甲公司,\r\n"
    "李四,\"b@x.cn; c@x.cn\",乙公司,特别通知 {{公司}}\r\n"
    "王五,d@x.cn,,\r\n";

struct ParsedMail {
  std::string subject;             // UTF-8
  std::vector<std::string> names;  // UTF-8, one per address of To
  std::string body;                // UTF-8, LF line ends
};

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// Every message the server received, parsed by tests/smtp/parse_mail.py.
std::vector<ParsedMail> Parse(const CScriptedSmtpServer& server, const testsupport::CTempDir& dir) {
  std::string command = "/usr/bin/python3 " POSTWING_SOURCE_DIR "/tests/smtp/parse_mail.py";
  for (int i = 0; i < server.SessionCount(); ++i) {
    const std::string name = "received/" + std::to_string(i) + ".eml";
    dir.WriteFile(name, server.ReceivedMessage(i));
    command += " " + (dir.Path() / name).string();
  }
  std::vector<ParsedMail> mails;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return mails;
  char buffer[65536];
  ParsedMail mail;
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    const std::string key = line.substr(0, line.find(' '));
    const std::string value = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
    if (key == "SUBJECT") mail.subject = FromHex(value);
    if (key == "TONAME") mail.names.push_back(FromHex(value));
    if (key == "BODY") mail.body = FromHex(value);
    if (key == "END") {
      mails.push_back(mail);
      mail = ParsedMail();
    }
  }
  ::pclose(pipe);
  return mails;
}

class TableRunTest : public BatchRunTest {
 protected:
  void SetUp() override {
    BatchRunTest::SetUp();
    m_host.m_clock = &m_clock;
  }

  // ini/Stmp.Ini for a run of mail/ to 客户.csv; `extra` goes into [maildir].
  void Settings(const std::string& subject, const std::string& extra = "") {
    m_dir.WriteFile("运行报告.txt", "");
    m_dir.WriteFile("ini/Stmp.Ini",
                    FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\nemstp=0\r\n"
                             "[maildir]\r\nmaildir=mail\r\naddress=客户.csv\r\nmailsubject=") +
                        FromUtf8(subject) + "\r\n" + FromUtf8(extra));
  }

  CInstantClock m_clock;
};

TEST_F(TableRunTest, EachRowGetsItsFieldsSubjectAndNames) {
  m_dir.WriteFile("mail/通知.txt", FromUtf8("尊敬的{{姓名}}:\n{{ 公司 }}的朋友您好。\n"));
  m_dir.WriteFile("客户.csv", std::string(kMark) + kTable);
  Settings("月报 {{姓名}}");
  CScriptedSmtpServer server(
      {CSmtpScript::Accepting(), CSmtpScript::Accepting(2), CSmtpScript::Accepting()});
  Run(true, server.Port());
  EXPECT_EQ(m_run.m_strError, "");
  EXPECT_EQ(m_run.m_nMailCount, 1);
  EXPECT_EQ(m_run.m_nAddressCount, 3);
  ASSERT_EQ(server.SessionCount(), 3);
  EXPECT_NE(server.Received(1).find("RCPT TO: <c@x.cn>"), std::string::npos);

  struct Expect {
    const char* subject;
    std::vector<std::string> names;
    const char* opening;
  };
  const Expect expected[] = {
      {"月报 张三", {"张三"}, "尊敬的张三:\n甲公司的朋友您好。\n"},
      {"特别通知 乙公司", {"李四", "李四"}, "尊敬的李四:\n乙公司的朋友您好。\n"},
      // An empty cell is replaced by nothing.
      {"月报 王五", {"王五"}, "尊敬的王五:\n的朋友您好。\n"},
  };
  const std::vector<ParsedMail> mails = Parse(server, m_dir);
  ASSERT_EQ(mails.size(), 3u);
  for (std::size_t i = 0; i < mails.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(mails[i].subject, expected[i].subject);
    EXPECT_EQ(mails[i].names, expected[i].names);
    EXPECT_TRUE(mails[i].body.starts_with(expected[i].opening)) << mails[i].body;
  }
}

// What the table or the mail lacks stops either kind of run before its
// first message, naming the mail file, the field or the row.
TEST_F(TableRunTest, WhatTheRunCannotFillStopsItBeforeItSends) {
  struct Case {
    const char* name;
    const char* mail;
    std::string table;
    const char* subject;
    const char* extra;
    const char* error;
  };
  const Case cases[] = {
      {"a field of the mail", "{{姓名}}, {{电话}}\n", kTable, "s", "",
       "邮件 通知.txt 用到的字段 {{电话}} 在地址表中没有。"},
      {"a field of the subject", "x\n", kTable, "{{城市}}", "",
       "邮件主题 用到的字段 {{城市}} 在地址表中没有。"},
      {"a field of the unsubscribe address", "x\n", kTable, "s",
       "unsubscribe=https://x.cn/u?m={{账号}}\r\n", "退订地址 用到的字段 {{账号}} 在地址表中没有。"},
      {"a field of a row's subject", "x\n", "邮箱,主题\r\na@x.cn,\r\nb@x.cn,{{名}}\r\n", "s", "",
       "地址表 客户.csv 第 2 行的主题 用到的字段 {{名}} 在地址表中没有。"},
      {"no address column", "x\n", "姓名,公司\r\n张三,甲\r\n", "s", "",
       "地址表 客户.csv 没有邮件地址列 (标题为 邮箱、电子邮件、邮件地址、邮件、Email、E-mail 或 Mail "
       "的列, 或第一行含有 @ 的列)。"},
      {"an empty address cell", "x\n", "姓名,邮箱\r\n张三,a@x.cn\r\n李四,\r\n", "s", "",
       "地址表 客户.csv 第 2 行没有邮件地址。"},
  };
  for (const bool keepGoing : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (keepGoing ? " (keep going)" : ""));
      std::filesystem::remove_all(m_dir.Path() / "mail");
      m_dir.WriteFile("mail/通知.txt", FromUtf8(c.mail));
      m_dir.WriteFile("客户.csv", FromUtf8(c.table));
      Settings(c.subject, std::string(c.extra) + (keepGoing ? "onerror=1\r\n" : ""));
      CScriptedSmtpServer server(CSmtpScript::Accepting());
      m_host.m_events.clear();
      Run(true, server.Port());
      EXPECT_EQ(server.SessionCount(), 0);
      const std::string error = FromUtf8(c.error);
      EXPECT_EQ(m_run.m_strError, error);
      EXPECT_EQ(m_host.m_events.back(), "box:" + FromUtf8("邮件发送错误!\n") + error);
      // A stopping run says it first, as for an address list it cannot open.
      ASSERT_EQ(m_host.m_events.size(), keepGoing ? 2u : 3u);
      if (!keepGoing) {
        EXPECT_EQ(m_host.m_events[1], "box:" + FromUtf8("发送错误!\n") + error);
      }
      EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / std::filesystem::u8path("发送记录")));
      EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "ini/Send.Jnl"));
    }
  }
}

// A run from a table stopped by a failure continues after its last accepted
// row, each remaining row with its own fields; the journal counts rows, not
// lines (a cell holds a line break).
TEST_F(TableRunTest, ResumeGoesOnFromTheRowAfterTheLastAccepted) {
  m_dir.WriteFile("mail/通知.txt", FromUtf8("{{姓名}}\n"));
  m_dir.WriteFile("客户.csv", FromUtf8("姓名,邮箱,备注\r\n张三,a@x.cn,\"两\r\n行\"\r\n李四,b@x.cn,\r\n"
                                       "王五,d@x.cn,\r\n"));
  Settings("s");
  {
    CScriptedSmtpServer server(
        {CSmtpScript::Accepting(), CSmtpScript::Replies({"220 test", "250 hello", "550 no", "221 bye"})});
    Run(true, server.Port());
    EXPECT_EQ(m_run.m_strError, "550:SMTP server error");
  }
  const ResumePoint point = FindResumePoint(m_dir.Path(), m_host.m_source);
  ASSERT_EQ(point.m_state, ResumePoint::Same);
  EXPECT_EQ(point.m_nDone, 1);
  EXPECT_EQ(point.m_nTotal, 3);

  CScriptedSmtpServer server(CSmtpScript::Accepting());
  m_run.m_bResume = 1;
  Run(true, server.Port());
  m_run.m_bResume = 0;
  EXPECT_EQ(m_run.m_strError, "");
  const std::vector<ParsedMail> mails = Parse(server, m_dir);
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_TRUE(mails[0].body.starts_with("李四\n"));
  EXPECT_TRUE(mails[1].body.starts_with("王五\n"));
  EXPECT_EQ(mails[1].names, std::vector<std::string>{"王五"});
}

// The keep-going record names each row's recipient as its line does, and
// sending again what did not arrive finds the row of each one for its fields.
TEST_F(TableRunTest, RecordNamesTheRowsAndRetryFindsThemAgain) {
  m_dir.WriteFile("mail/通知.txt", FromUtf8("{{公司}}\n"));
  m_dir.WriteFile("客户.csv", std::string(kMark) + kTable);
  Settings("s {{姓名}}", "onerror=1\r\nretry=0\r\n");
  const CSmtpScript greylisted =
      CSmtpScript::Replies({"220 mx", "250 hello", "250 ok", "451 4.7.1 later", "451 4.7.1 later",
                            "250 reset", "221 bye"});
  {
    CScriptedSmtpServer server({CSmtpScript::Accepting(), greylisted, CSmtpScript::Accepting()});
    Run(true, server.Port());
  }
  std::vector<RecordRow> rows;
  ASSERT_TRUE(ReadSendRecord(NewestRecord(m_dir.Path()), rows));
  ASSERT_EQ(rows.size(), 4u);
  const char* recipients[] = {"张三<a@x.cn>", "李四<b@x.cn>", "李四<c@x.cn>", "王五<d@x.cn>"};
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].m_strRecipient, FromUtf8(recipients[i]));
  EXPECT_EQ(m_run.Outcome().m_nUndelivered, 2);

  CScriptedSmtpServer server(CSmtpScript::Accepting());
  m_run.SetSmtpPortForTests(server.Port());
  m_run.RunRetryFailed();
  const std::vector<ParsedMail> mails = Parse(server, m_dir);
  ASSERT_EQ(mails.size(), 2u);
  for (const ParsedMail& mail : mails) {
    EXPECT_EQ(mail.subject, "特别通知 乙公司");
    EXPECT_EQ(mail.names, std::vector<std::string>{"李四"});
    EXPECT_TRUE(mail.body.starts_with("乙公司\n")) << mail.body;
  }
  EXPECT_EQ(m_run.Outcome().m_nDelivered, 2);
}

// An HTML mail with a picture and an attachment, to a table, as commercial
// mail with an unsubscribe address that names the row: every message has
// its row's text in both parts, the picture and the attachment byte for byte
// and its own unsubscribe address.
TEST_F(TableRunTest, HtmlMailWithPartsGoesToEachRowWithItsOwnFields) {
  const std::string picture = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\x7f');
  const std::string attachment(70000, '\x01');
  m_dir.WriteFile("mail/快讯.htm", FromUtf8("<html><body><p>尊敬的{{姓名}}</p>"
                                          "<img src=\"快讯/logo.png\"></body></html>"));
  m_dir.WriteFile("mail/快讯/logo.png", picture);
  m_dir.WriteFile("mail/快讯/价目 表.pdf", attachment);
  m_dir.WriteFile("客户.csv", FromUtf8("姓名,邮箱\r\n张三,a@x.cn\r\n李四,b@x.cn\r\n"));
  Settings("新品 {{姓名}}", "unsubscribe=https://x.cn/u?m={{邮箱}}\r\nadvert=1\r\n");
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  Run(true, server.Port());
  ASSERT_EQ(m_run.m_strError, "");
  ASSERT_EQ(server.SessionCount(), 2);
  const char* names[] = {"张三", "李四"};
  const char* addresses[] = {"a@x.cn", "b@x.cn"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const testsupport::ParsedMessage parsed =
        testsupport::ParseWithPython(server.ReceivedMessage(i), m_dir.Path());
    EXPECT_EQ(parsed.m_nDefects, 0);
    EXPECT_EQ(parsed.m_strSubject, std::string("(广告)新品 ") + names[i]);
    EXPECT_NE(parsed.m_strUnsubscribe.find(std::string("https://x.cn/u?m=") + addresses[i]),
              std::string::npos) << parsed.m_strUnsubscribe;
    EXPECT_NE(parsed.m_strUnsubscribe.find("mailto:sender@example.com"), std::string::npos);
    bool text = false, html = false, logo = false, pdf = false;
    for (const testsupport::ParsedPart& part : parsed.m_parts) {
      const std::string greeting = FromUtf8(std::string("尊敬的") + names[i]);
      if (part.m_strType == "text/plain") text = part.m_strBytes.find(greeting) != std::string::npos;
      if (part.m_strType == "text/html") html = part.m_strBytes.find(greeting) != std::string::npos;
      if (part.m_strType == "image/png") logo = part.m_strBytes == picture && !part.m_strContentId.empty();
      if (part.m_strFileName == "价目 表.pdf") pdf = part.m_strBytes == attachment;
    }
    EXPECT_TRUE(text && html && logo && pdf) << text << html << logo << pdf;
  }
}

}  // namespace
}  // namespace batchtest
