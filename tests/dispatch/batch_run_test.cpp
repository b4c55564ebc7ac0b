#include "dispatch/batch_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dispatch/batch_run_fixture.h"
#include "dispatch/footer.h"
#include "dispatch/run_journal.h"
#include "smtp/base64.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace {

using batchtest::BatchRunTest;
using platform::FromUtf8;

// The session's bytes with CR LF as LF: the body may go on the wire either way.
std::string WithLfLineEnds(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

TEST_F(BatchRunTest, SendsEveryFileToEveryAddressLineInOrder) {
  for (const char* name : {"one.txt", "two.eml", "three"}) {
    m_dir.WriteFile(std::string("mail/") + name, std::string("text of ") + name + "\r\n");
  }
  std::filesystem::create_directory(m_dir.Path() / "mail/sub");
  m_dir.WriteFile("list.txt", "first@example.com\r\n\r\nsecond@example.com\r\n");
  m_dir.WriteFile("运行报告.txt", "");
  WriteSettings("mail", "list.txt");
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::Accepting());

  Run(true, server.Port());

  const std::vector<std::string> order = MailOrder("mail");
  ASSERT_EQ(order.size(), 3u);
  ASSERT_EQ(server.SessionCount(), 6);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const std::string session = server.Received(i);
    const std::string lfSession = WithLfLineEnds(session);
    const std::string address = i % 2 == 0 ? "first@example.com" : "second@example.com";
    EXPECT_NE(session.find("RCPT TO: <" + address + ">\r\n"), std::string::npos);
    EXPECT_NE(lfSession.find("text of " + order[i / 2] + "\n\n\n" + std::string(60, '=')),
              std::string::npos);
    EXPECT_NE(session.find("Subject: =?GBK?B?" + Base64Encode(FromUtf8("月报")) + "?=\r\n"),
              std::string::npos);
    EXPECT_NE(session.find("QUIT\r\n"), std::string::npos);
  }
  EXPECT_EQ(m_run.m_nMailCount, 3);
  EXPECT_EQ(m_run.m_nAddressCount, 2);
  EXPECT_EQ(m_host.m_events,
            (std::vector<std::string>{Cue("begin.wav"), "reload", Cue("ok.wav"),
                                      "box:" + FromUtf8("所有邮件已经发送成功.")}));
  EXPECT_EQ(m_dir.ReadFile("运行报告.txt"),
            "\r\n2004- 1- 1 ,  7:30 , 3 , 2 , " + FromUtf8("成功"));
}

TEST_F(BatchRunTest, TrimsAddressLinesAndSendsAWholeLineInOneSession) {
  m_dir.WriteFile("mail/only", "body\n");
  m_dir.WriteFile("list.txt",
                  " \t user@example.com \t\r\n   \t\r\na@example.com;Bob <b@example.com>\r\n");
  WriteSettings("mail", "list.txt");
  testsupport::CScriptedSmtpServer server({testsupport::CSmtpScript::Accepting(1),
                                           testsupport::CSmtpScript::Accepting(2)});

  Run(true, server.Port());

  ASSERT_EQ(server.SessionCount(), 2);
  const std::vector<std::string> sessions = {server.Received(0), server.Received(1)};
  EXPECT_NE(sessions[0].find("RCPT TO: <user@example.com>\r\nDATA"), std::string::npos);
  EXPECT_NE(sessions[0].find("To: <user@example.com>\r\n"), std::string::npos);
  EXPECT_NE(sessions[1].find("RCPT TO: <a@example.com>\r\nRCPT TO: <b@example.com>\r\nDATA"),
            std::string::npos);
  EXPECT_NE(sessions[1].find("To: <a@example.com>,Bob <b@example.com>\r\n"), std::string::npos);
  EXPECT_EQ(m_run.m_nAddressCount, 2);
  EXPECT_TRUE(m_run.m_strError.empty());
}

TEST_F(BatchRunTest, FirstFailedSessionEndsTheRun) {
  for (const char* name : {"a", "b", "c"}) m_dir.WriteFile(std::string("mail/") + name, name);
  m_dir.WriteFile("list.txt", "x@example.com\ny@example.com\n");
  m_dir.WriteFile("运行报告.txt", "");
  WriteSettings("mail", "list.txt");
  // The fourth session (second file, second address) refuses the sender.
  const testsupport::CSmtpScript accepting = testsupport::CSmtpScript::Accepting();
  testsupport::CScriptedSmtpServer server(
      {accepting, accepting, accepting,
       testsupport::CSmtpScript::Replies({"220 test", "250 hello", "550 no", "221 bye"})});

  Run(true, server.Port());

  ASSERT_TRUE(server.WaitForSessionEnd(3));
  EXPECT_EQ(server.SessionCount(), 4);
  EXPECT_EQ(m_run.m_nMailCount, 2);
  EXPECT_EQ(m_run.m_nAddressCount, 2);
  EXPECT_EQ(m_run.m_strError, "550:SMTP server error");
  EXPECT_EQ(m_host.m_events,
            (std::vector<std::string>{Cue("begin.wav"), "reload", Cue("err.wav"),
                                      "box:" + FromUtf8("邮件发送错误!\n") + "550:SMTP server error"}));
  EXPECT_EQ(m_dir.ReadFile("运行报告.txt"),
            "\r\n2004- 1- 1 ,  7:30 , 2 , 2 , 550:SMTP server error");
}

TEST_F(BatchRunTest, MissingOrEmptyMailFolderStopsWithoutEndCue) {
  m_dir.WriteFile("list.txt", "x@example.com\n");
  m_dir.WriteFile("运行报告.txt", "");
  for (const std::string folder : {"", "missing"}) {
    SCOPED_TRACE(folder);
    WriteSettings(folder, "list.txt");
    m_host.m_events.clear();
    Run(true);
    EXPECT_EQ(m_run.m_strError, FromUtf8("邮件目录为空"));
    EXPECT_EQ(m_host.m_events,
              (std::vector<std::string>{
                  Cue("begin.wav"), "reload",
                  "box:" + FromUtf8("邮件目录 <") + folder + FromUtf8("> 中没有邮件，发送停止。")}));
  }
  // A timer run shows nothing.
  m_host.m_events.clear();
  Run(false);
  EXPECT_EQ(m_host.m_events, (std::vector<std::string>{Cue("begin.wav"), "reload"}));
  const std::string status = " , 0 , 0 , " + FromUtf8("邮件目录为空");
  EXPECT_EQ(m_dir.ReadFile("运行报告.txt"), "\r\n2004- 1- 1 ,  7:30" + status +
                                                "\r\n2004- 1- 1 ,  7:30" + status +
                                                "\r\n2004- 1- 1 ,  7:30" + status);
}

// A folder without mail files, an empty one or one holding only a subfolder,
// is a success with nothing sent; with cues off nothing is played at all.
TEST_F(BatchRunTest, FolderWithoutMailFilesSucceedsWithoutSending) {
  std::filesystem::create_directories(m_dir.Path() / "only-sub/inner");
  m_dir.WriteFile("only-sub/inner/not-sent", "x");
  std::filesystem::create_directories(m_dir.Path() / "empty");
  for (const char* folder : {"only-sub", "empty"}) {
    for (const bool play : {true, false}) {
      SCOPED_TRACE(std::string(folder) + (play ? " with cues" : " without cues"));
      m_dir.WriteFile("运行报告.txt", "");
      WriteSettings(folder, "list.txt");  // the list is never opened
      if (!play) {
        std::string ini = m_dir.ReadFile("ini/Stmp.Ini");
        ini.replace(ini.find("play=1"), 6, "play=0");
        m_dir.WriteFile("ini/Stmp.Ini", ini);
      }
      m_host.m_events.clear();
      Run(true);
      std::vector<std::string> expected = {"reload", "box:" + FromUtf8("所有邮件已经发送成功.")};
      if (play) {
        expected.insert(expected.begin(), Cue("begin.wav"));
        expected.insert(expected.end() - 1, Cue("ok.wav"));
      }
      EXPECT_EQ(m_host.m_events, expected);
      EXPECT_EQ(m_run.m_nMailCount, 0);
      EXPECT_EQ(m_dir.ReadFile("运行报告.txt"),
                "\r\n2004- 1- 1 ,  7:30 , 0 , 0 , " + FromUtf8("成功"));
    }
  }
}

// A timer run that fails at the server plays the error cue and shows nothing.
TEST_F(BatchRunTest, TimerRunFailingAtTheServerShowsNoBox) {
  m_dir.WriteFile("mail/one", "x");
  m_dir.WriteFile("list.txt", "x@example.com\n");
  WriteSettings("mail", "list.txt");
  testsupport::CScriptedSmtpServer server(
      testsupport::CSmtpScript::Replies({"220 test", "250 hello", "550 no", "221 bye"}));
  Run(false, server.Port());
  EXPECT_EQ(m_run.m_strError, "550:SMTP server error");
  EXPECT_EQ(m_host.m_events, (std::vector<std::string>{Cue("begin.wav"), "reload", Cue("err.wav")}));
}

// A list line ending in ";" has an empty last entry, which goes out as an
// empty recipient; a NUL byte ends a line there.
TEST_F(BatchRunTest, ListLineEndsAtItsLastSemicolonOrNul) {
  m_dir.WriteFile("mail/one", "x");
  m_dir.WriteFile("list.txt",
                  "a@example.com;\nb@example.com" + std::string(1, '\0') + ";c@example.com\n");
  WriteSettings("mail", "list.txt");
  testsupport::CScriptedSmtpServer server(
      {testsupport::CSmtpScript::Accepting(2), testsupport::CSmtpScript::Accepting(1)});
  Run(false, server.Port());
  ASSERT_EQ(server.SessionCount(), 2);
  EXPECT_NE(server.Received(0).find("RCPT TO: <a@example.com>\r\nRCPT TO: <>\r\nDATA"),
            std::string::npos);
  EXPECT_NE(server.Received(1).find("RCPT TO: <b@example.com>\r\nDATA"), std::string::npos);
  EXPECT_EQ(server.Received(1).find('\0'), std::string::npos);
}

TEST_F(BatchRunTest, UnreachableServerFailsWithTheSessionError) {
  m_dir.WriteFile("mail/one", "x");
  m_dir.WriteFile("list.txt", "x@example.com\n");
  WriteSettings("mail", "list.txt");
  Run(true, testsupport::CScriptedSmtpServer::UnusedPort());
  EXPECT_EQ(m_run.m_strError, FromUtf8("无法连接邮件服务器."));
  EXPECT_EQ(m_run.m_nAddressCount, 1);
  EXPECT_EQ(m_host.m_events.back(), "box:" + FromUtf8("邮件发送错误!\n无法连接邮件服务器."));
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / std::filesystem::u8path("运行报告.txt")));
}

TEST_F(BatchRunTest, AbsoluteListAndWaveNamesAreUsedAsTheyStand) {
  testsupport::CTempDir elsewhere;
  elsewhere.WriteFile("list.txt", "x@example.com\n");
  m_dir.WriteFile("mail/one", "x");
  const std::string list = platform::PathToCodePage(elsewhere.Path() / "list.txt");
  const std::string wave = platform::PathToCodePage(elsewhere.Path() / "begin.wav");
  WriteSettings("mail", list, wave);
  Run(true, testsupport::CScriptedSmtpServer::UnusedPort());
  // The list was opened: the run reached the server.
  EXPECT_EQ(m_run.m_strError, FromUtf8("无法连接邮件服务器."));
  EXPECT_EQ(m_host.m_events.front(), "cue:" + wave);
}

TEST_F(BatchRunTest, MailTextGetsLfLineEndsAndTheFooter) {
  m_dir.WriteFile("crlf.txt", "line 1\r\nline 2\r\n\x1A" "after end of file");
  m_dir.WriteFile("empty.txt", "");
  std::string body;
  m_run.ReadMailText("crlf.txt", body);
  EXPECT_EQ(body, "line 1\nline 2\n" + MailFooter());
  m_run.ReadMailText("empty.txt", body);
  EXPECT_EQ(body, MailFooter());
  m_run.ReadMailText("missing.txt", body);
  EXPECT_EQ(body, "");
}

TEST(Footer, HasItsSixteenLines) {
  const std::string footer = platform::ToUtf8(MailFooter());
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = footer.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(footer.substr(start, end - start));
  }
  EXPECT_EQ(start, footer.size());  // every line ends in "\n"
  ASSERT_EQ(lines.size(), 16u);
  const std::string separator(60, '=');
  EXPECT_EQ(lines[0] + lines[1] + lines[6] + lines[15], "");
  EXPECT_EQ(lines[2], separator);
  EXPECT_EQ(lines[9], separator);
  EXPECT_EQ(lines[14], separator);
  EXPECT_EQ(lines[3], "此邮件由 <飞鸿信使> 软件发送。");
  EXPECT_EQ(lines[4].rfind("<飞鸿信使> 作者: ", 0), 0u);
  EXPECT_EQ(lines[5].rfind("如有任何问题请发函联系<mailto:", 0), 0u);
  EXPECT_EQ(lines[5].back(), '>');
  EXPECT_EQ(lines[7], "您也可在下列网站免费下载 <飞鸿信使> 软件。");
  EXPECT_EQ(lines[13].rfind("欢迎光临 http", 0), 0u);
  EXPECT_EQ(lines[13].back(), ' ');
}

}  // namespace

namespace batchtest {
namespace {

// Stopping at the first failure: a line whose one recipient is refused while
// the server takes the message for the other is no success. The message went
// (the journal counts it, so a continued run does not send it again), and the
// run ends with the refusal, naming the recipient and the reply.
TEST_F(BatchRunTest, RecipientRefusedWithinAnAcceptedLineEndsTheRun) {
  m_dir.WriteFile("mail/only", "body\n");
  m_dir.WriteFile("list.txt", "bad@x.cn;good@x.cn\r\nnext@x.cn\r\n");
  m_dir.WriteFile("运行报告.txt", "");
  WriteSettings("mail", "list.txt");
  testsupport::CScriptedSmtpServer server(testsupport::CSmtpScript::Replies(
      {"220 test", "250 hello", "250 ok", "550 5.1.1 no such user", "250 ok", "354 go", "250 queued",
       "221 bye"}));

  Run(true, server.Port());

  ASSERT_TRUE(server.WaitForSessionEnd(0));
  EXPECT_EQ(server.SessionCount(), 1);
  EXPECT_NE(server.Received(0).find("RCPT TO: <good@x.cn>\r\nDATA\r\n"), std::string::npos);
  const std::string refusal = FromUtf8("收件人 <bad@x.cn> 被拒收: 550 5.1.1 no such user");
  EXPECT_EQ(m_run.m_strError, refusal);
  EXPECT_EQ(m_dir.ReadFile("运行报告.txt"), "\r\n2004- 1- 1 ,  7:30 , 1 , 1 , " + refusal);
  const ResumePoint point = FindResumePoint(m_dir.Path(), m_host.m_source);
  EXPECT_EQ(point.m_state, ResumePoint::Same);
  EXPECT_EQ(point.m_nDone, 1);
}

}  // namespace
}  // namespace batchtest
