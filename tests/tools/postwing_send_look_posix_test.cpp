// postwing-send --check and --test: every problem of every mail file x row
// printed without sending, and one message merged with a row sent to one
// typed address only, against the scripted server.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/scripted_smtp_server.h"
#include "support/sender_run.h"
#include "support/temp_dir.h"

namespace {

using platform::FromUtf8;
using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;
using testsupport::RunSender;

class SenderLookTest : public ::testing::Test {
 protected:
  // ini/Stmp.Ini for mail/ to 客户.csv, sending to `port`.
  void Settings(unsigned int port, const std::string& subject = "您好 {{姓名}}") {
    m_dir.WriteFile("运行报告.txt", "");
    m_dir.WriteFile("ini/Stmp.Ini",
                    FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=me@example.com\r\nemstp=0\r\nport=") +
                        std::to_string(port) +
                        FromUtf8("\r\n[maildir]\r\nmaildir=mail\r\naddress=客户.csv\r\nmailsubject=") +
                        FromUtf8(subject) + "\r\n");
  }
  void Table(const std::string& utf8) { m_dir.WriteFile("客户.csv", "\xEF\xBB\xBF" + utf8); }
  // Nothing of a run is left behind.
  void ExpectNoRunTraces() {
    EXPECT_EQ(m_dir.ReadFile("运行报告.txt"), "");
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "ini/Send.Jnl"));
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / std::filesystem::u8path("发送记录")));
  }

  testsupport::CTempDir m_dir;
};

TEST_F(SenderLookTest, CheckPrintsEveryProblemAndSendsNothing) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> mail;  // name, text (UTF-8)
    const char* table;
    int status;
    std::vector<std::string> lines;  // expected among the output, UTF-8
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"all fine",
       {{"a.txt", "{{姓名}} {{公司}}\n"}},
       "姓名,邮箱,公司\n张三,a@x.cn,甲\n",
       0,
       {"检查完毕, 没有问题: 1 封邮件 x 1 个收件人行."},
       {"提醒"}},
      {"an empty cell is only a warning",
       {{"a.txt", "{{公司}}\n"}},
       "姓名,邮箱,公司\n张三,a@x.cn,甲\n李四,b@x.cn,\n",
       0,
       {"检查完毕, 没有问题: 1 封邮件 x 2 个收件人行.", "提醒: 邮件 a.txt 第 2 行的字段 {{公司}} 是空的。"},
       {}},
      {"every mail file, field and row",
       {{"a.txt", "{{电话}}\n"}, {"b.txt", "{{城市}} {{姓名}}\n"}},
       "姓名,邮箱\n张三,a@x.cn\n李四,\n王五,\n",
       1,
       {"地址表 客户.csv 第 2 行没有邮件地址。", "地址表 客户.csv 第 3 行没有邮件地址。",
        "邮件 a.txt 用到的字段 {{电话}} 在地址表中没有。", "邮件 b.txt 用到的字段 {{城市}} 在地址表中没有。",
        "检查完毕, 有问题: 2 封邮件 x 1 个收件人行."},
       {"{{姓名}} 在"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(m_dir.Path() / "mail");
    for (const auto& [name, text] : c.mail) m_dir.WriteFile("mail/" + name, FromUtf8(text));
    Table(c.table);
    CScriptedSmtpServer server(CSmtpScript::Accepting());
    Settings(server.Port());
    const testsupport::SenderOutcome outcome = RunSender(m_dir.Path(), "--check");
    EXPECT_EQ(outcome.status, c.status) << outcome.output;
    for (const std::string& line : c.lines) {
      EXPECT_NE(outcome.output.find(line + "\n"), std::string::npos) << line << "\n" << outcome.output;
    }
    for (const std::string& text : c.absent) {
      EXPECT_EQ(outcome.output.find(text), std::string::npos) << text << "\n" << outcome.output;
    }
    EXPECT_EQ(server.SessionCount(), 0);
    ExpectNoRunTraces();
  }
}

TEST_F(SenderLookTest, TestSendsOneRowToTheTypedAddressOnly) {
  m_dir.WriteFile("mail/通知.txt", FromUtf8("尊敬的{{姓名}}\n"));
  Table("姓名,邮箱\n张三,a@x.cn\n李四,\"b@x.cn;c@x.cn\"\n");
  struct Case {
    const char* args;
    int status;
    const char* greeting;  // UTF-8, in the message sent; "" for none
    const char* output;
  };
  const Case cases[] = {
      {"--test me@x.cn", 0, "尊敬的张三", "测试邮件 (通知.txt, 第 1 行) 已由服务器接收, 收件人 me@x.cn."},
      {"--test me@x.cn --row 2", 0, "尊敬的李四", "测试邮件 (通知.txt, 第 2 行) 已由服务器接收"},
      {"--row 3 --test me@x.cn", 1, "", "地址列表中没有第 3 行 (共 2 行)."},
      {"--test", 2, "", ""},
      {"--row 1", 2, "", ""},
      {"--test me@x.cn --row 0", 2, "", ""},
      {"--check --test me@x.cn", 2, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    CScriptedSmtpServer server(CSmtpScript::Accepting());
    Settings(server.Port());
    const testsupport::SenderOutcome outcome = RunSender(m_dir.Path(), c.args);
    EXPECT_EQ(outcome.status, c.status) << outcome.output;
    EXPECT_NE(outcome.output.find(c.output), std::string::npos) << outcome.output;
    if (std::string(c.greeting).empty()) {
      EXPECT_EQ(server.SessionCount(), 0);
      continue;
    }
    ASSERT_EQ(server.SessionCount(), 1);
    const std::string received = server.Received(0);
    EXPECT_NE(received.find("RCPT TO: <me@x.cn>"), std::string::npos) << received;
    EXPECT_EQ(received.find("RCPT TO: <a@x.cn>"), std::string::npos);
    EXPECT_EQ(received.find("RCPT TO: <b@x.cn>"), std::string::npos);
    EXPECT_NE(server.ReceivedMessage(0).find(FromUtf8(c.greeting)), std::string::npos);
    ExpectNoRunTraces();
  }
}

TEST_F(SenderLookTest, TestSaysWhenTheServerRefused) {
  m_dir.WriteFile("mail/a.txt", "x\n");
  Table("Email\na@x.cn\n");
  CScriptedSmtpServer server(CSmtpScript::Replies({"220 mx", "250 hello", "550 no sender", "221 bye"}));
  Settings(server.Port(), "s");
  const testsupport::SenderOutcome outcome = RunSender(m_dir.Path(), "--test me@x.cn");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.output.find("测试邮件 (a.txt, 第 1 行) 发送失败: 550"), std::string::npos)
      << outcome.output;
  ExpectNoRunTraces();
}

}  // namespace
