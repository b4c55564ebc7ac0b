// The preview of a run: the messages as they would go out, mail file x row,
// the problems and warnings, and the test send to one address.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "dispatch/message_preview.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace {

using platform::FromUtf8;
using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;

class MessagePreviewTest : public ::testing::Test {
 protected:
  CMailSource Source(const std::string& list, const std::string& subject = "您好 {{姓名}}") const {
    CMailSource source;
    source.m_strMailDir = FromUtf8("邮件");
    source.m_strAddressFile = FromUtf8(list);
    source.m_strSubject = FromUtf8(subject);
    return source;
  }
  CSmtpAccount Account() const {
    CSmtpAccount account;
    account.m_strServer = "127.0.0.1";
    account.m_strMail = "me@example.com";
    return account;
  }
  std::vector<std::string> Texts(const std::vector<RunProblem>& problems, bool stopping) const {
    std::vector<std::string> texts;
    for (const RunProblem& problem : problems) {
      if (problem.m_bStopsRun == stopping) texts.push_back(platform::ToUtf8(problem.m_strText));
    }
    return texts;
  }

  testsupport::CTempDir m_dir;
};

TEST_F(MessagePreviewTest, ShowsEachMailFileAndRowAsItGoesOut) {
  m_dir.WriteFile("邮件/a.txt", FromUtf8("尊敬的{{姓名}}, {{公司}}\n"));
  m_dir.WriteFile("邮件/b.txt", FromUtf8("价目表见附件\n"));
  m_dir.WriteFile("邮件/b/价目 表.pdf", std::string(1000, 'p'));
  m_dir.WriteFile("客户.csv", FromUtf8("姓名,邮箱,公司\n张三,a@x.cn,甲\n李四,\"b@x.cn;c@x.cn\",\n"));
  const std::filesystem::path before = platform::WorkingDirPath();
  CMessagePreview preview;
  std::string error;
  ASSERT_TRUE(preview.Open(Source("客户.csv"), Account(), m_dir.Path(), error)) << error;
  EXPECT_EQ(platform::WorkingDirPath(), before);
  EXPECT_EQ(preview.MailCount(), 2);  // the attachment folder is no mail
  EXPECT_EQ(preview.RowCount(), 2);
  // Mail files come in the folder's order, as the run sends them.
  PreviewPage first;
  ASSERT_TRUE(preview.Make(0, 0, first));
  const int a = first.m_strMailFile == "a.txt" ? 0 : 1;

  struct Case {
    int mail, row;
    const char* file;
    int number;
    const char* to;
    const char* subject;
    const char* opening;
    std::size_t attachments;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {a, 0, "a.txt", 1, "张三 <a@x.cn>", "您好 张三", "尊敬的张三, 甲\n", 0, {}},
      {a, 1, "a.txt", 2, "李四 <b@x.cn>, 李四 <c@x.cn>", "您好 李四", "尊敬的李四, \n", 0,
       {"邮件 a.txt 第 2 行的字段 {{公司}} 是空的。"}},
      {1 - a, 0, "b.txt", 1, "张三 <a@x.cn>", "您好 张三", "价目表见附件\n", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mail) + "x" + std::to_string(c.row));
    PreviewPage page;
    CMailItem item;
    ASSERT_TRUE(preview.Make(c.mail, c.row, page, &item));
    EXPECT_EQ(page.m_strMailFile, c.file);
    EXPECT_EQ(page.m_nRow, c.number);
    EXPECT_EQ(page.m_strFrom, "me@example.com");
    EXPECT_EQ(platform::ToUtf8(page.m_strTo), c.to);
    EXPECT_EQ(platform::ToUtf8(page.m_strSubject), c.subject);
    EXPECT_TRUE(platform::ToUtf8(page.m_strText).starts_with(c.opening)) << platform::ToUtf8(page.m_strText);
    EXPECT_EQ(page.m_strHtml, "");
    ASSERT_EQ(page.m_attachments.size(), c.attachments);
    if (c.attachments > 0) {
      EXPECT_EQ(page.m_attachments[0].m_strName, FromUtf8("价目 表.pdf"));
      EXPECT_EQ(page.m_attachments[0].m_nSize, 1000u);
      EXPECT_GT(page.m_nMessageSize, 1000u * 4 / 3);
    }
    std::vector<std::string> warnings;
    for (const std::string& warning : page.m_warnings) warnings.push_back(platform::ToUtf8(warning));
    EXPECT_EQ(warnings, c.warnings);
    EXPECT_EQ(item.GetRecipientCount(), c.row == 0 ? 1 : 2);
  }
  PreviewPage page;
  EXPECT_FALSE(preview.Make(2, 0, page));
  EXPECT_FALSE(preview.Make(0, 2, page));
}

TEST_F(MessagePreviewTest, CheckAllGivesEveryProblemThenTheWarnings) {
  m_dir.WriteFile("邮件/a.txt", FromUtf8("{{电话}} {{公司}}\n"));
  m_dir.WriteFile("邮件/b.txt", "plain\n");
  m_dir.WriteFile("邮件/b/big.bin", std::string(kLargeMessageBytes, 'x'));
  m_dir.WriteFile("客户.csv", FromUtf8("姓名,邮箱,公司\n张三,a@x.cn,\n李四,,乙\n王五,c@x.cn,\n"));
  CMessagePreview preview;
  std::string error;
  ASSERT_TRUE(preview.Open(Source("客户.csv", "{{城市}}"), Account(), m_dir.Path(), error));
  const std::vector<RunProblem> problems = preview.CheckAll();
  EXPECT_EQ(Texts(problems, true),
            (std::vector<std::string>{"地址表 客户.csv 第 2 行没有邮件地址。",  // list, subject, mail
                                      "邮件主题 用到的字段 {{城市}} 在地址表中没有。",
                                      "邮件 a.txt 用到的字段 {{电话}} 在地址表中没有。"}));
  std::vector<std::string> warnings = Texts(problems, false);
  std::sort(warnings.begin(), warnings.end());  // mail files in the folder's order
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(warnings[0], "邮件 a.txt 第 1 行的字段 {{公司}} 是空的。");
  EXPECT_EQ(warnings[1], "邮件 a.txt 第 3 行的字段 {{公司}} 是空的。");
  EXPECT_TRUE(warnings[2].starts_with("邮件 b.txt 大小 13.")) << warnings[2];
  // The stopping problems come first.
  EXPECT_TRUE(problems.front().m_bStopsRun);
  EXPECT_FALSE(problems.back().m_bStopsRun);
}

TEST_F(MessagePreviewTest, AMailFileThatCannotBeReadIsNamed) {
  m_dir.WriteFile("邮件/a.htm", "<img src=\"a/gone.png\">");
  m_dir.WriteFile("list.txt", "a@x.cn\n");
  CMessagePreview preview;
  std::string error;
  ASSERT_TRUE(preview.Open(Source("list.txt", "s"), Account(), m_dir.Path(), error));
  PreviewPage page;
  EXPECT_FALSE(preview.Make(0, 0, page));
  ASSERT_EQ(page.m_warnings.size(), 1u);
  EXPECT_EQ(platform::ToUtf8(page.m_warnings[0]), "邮件 a.htm 用到的图片 a/gone.png 无法读取。");
  EXPECT_EQ(Texts(preview.CheckAll(), true), std::vector<std::string>{platform::ToUtf8(page.m_warnings[0])});

  // A list fed through a pipe is not read: the window would wait for a
  // writer, and the run would miss what the preview took.
  ASSERT_EQ(::mkfifo((m_dir.Path() / "list.pipe").c_str(), 0600), 0);
  CMessagePreview piped;
  ASSERT_TRUE(piped.Open(Source("list.pipe", "s"), Account(), m_dir.Path(), error));
  EXPECT_EQ(piped.RowCount(), 0);
  EXPECT_EQ(Texts(piped.CheckAll(), false),
            std::vector<std::string>{"邮件地址列表 list.pipe 不是普通文件 (如管道), 预览不读取它。"});

  CMessagePreview empty;
  EXPECT_FALSE(empty.Open(Source("list.txt"), Account(), m_dir.Path() / "nowhere", error));
  EXPECT_EQ(platform::ToUtf8(error), "邮件目录 <邮件> 中没有邮件。");
}

// The test send goes to the typed address only, and the size the preview
// gives is what the server receives.
TEST_F(MessagePreviewTest, TestSendGoesToTheTypedAddressAtTheSizeShown) {
  m_dir.WriteFile("邮件/a.txt", FromUtf8("第一行\n.\n{{备注}}\n"));
  m_dir.WriteFile("邮件/a/附件.txt", "attached\n");
  m_dir.WriteFile("客户.csv", FromUtf8("邮箱,备注\ntest@y.cn,一\nb@x.cn,二\n"));
  CMessagePreview preview;
  std::string error;
  ASSERT_TRUE(preview.Open(Source("客户.csv", "s"), Account(), m_dir.Path(), error));
  MessageTarget target;
  target.m_account = Account();
  for (int row = 0; row < 2; ++row) {
    SCOPED_TRACE(row);
    PreviewPage page;
    CMailItem item;
    ASSERT_TRUE(preview.Make(0, row, page, &item));
    CScriptedSmtpServer server(CSmtpScript::Accepting());
    target.m_nPort = server.Port();
    ASSERT_TRUE(SendTestMessage(target, item, "test@y.cn", error)) << error;
    const std::string received = server.Received(0);
    EXPECT_NE(received.find("RCPT TO: <test@y.cn>"), std::string::npos);
    EXPECT_EQ(received.find("b@x.cn"), std::string::npos);
    EXPECT_NE(server.ReceivedMessage(0).find(row == 0 ? FromUtf8("一") : FromUtf8("二")), std::string::npos);
    // Row 1 goes to the typed address anyway: the same To line, the same size.
    if (row == 0) {
      EXPECT_EQ(server.ReceivedMessage(0).size(), page.m_nMessageSize) << server.ReceivedMessage(0);
    }
  }
  PreviewPage page;
  CMailItem item;
  ASSERT_TRUE(preview.Make(0, 0, page, &item));
  CScriptedSmtpServer refusing(CSmtpScript::Replies({"220 mx", "250 hello", "550 no", "221 bye"}));
  target.m_nPort = refusing.Port();
  EXPECT_FALSE(SendTestMessage(target, item, "test@y.cn", error));
  EXPECT_EQ(error, "550:SMTP server error");
}

}  // namespace
