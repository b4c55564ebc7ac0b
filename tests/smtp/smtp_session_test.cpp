#include "smtp/smtp_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

#include "platform/codepage.h"
#include "smtp/base64.h"
#include "support/scripted_smtp_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CScriptedSmtpServer;
using platform::FromUtf8;
using testsupport::CSmtpScript;

std::string Helo() {
  std::string host = platform::LocalHostName(80);
  return "HELO " + (host.empty() ? std::string("localhost") : host) + "\r\n";
}

// Short waits, so that a silent server fails a test in seconds.
class SmtpSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { m_saved = CSMTP::SetTimeouts({1000, 1000, 1000}); }
  void TearDown() override { CSMTP::SetTimeouts(m_saved); }

  static CMailItem Item(const std::string& recipients, const std::string& body = "abc") {
    CMailItem item;
    item.m_strSender = "me@x.cn";
    item.m_strSubject = "Hello";
    item.AddRecipientList(recipients);
    item.m_strBody = body;
    return item;
  }

 private:
  SmtpTimeouts m_saved;
};

TEST_F(SmtpSessionTest, WholeConversationWithoutLogin) {
  for (const char* body : {"abc", "abc\r\n"}) {
    CScriptedSmtpServer server(CSmtpScript::Accepting(2));
    CMailItem item = Item("Zhang <z@x.cn>;l@x.cn", body);
    {
      CSMTP smtp(server.Host(), server.Port());
      ASSERT_TRUE(smtp.Connect()) << smtp.GetErrorText();
      ASSERT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
      ASSERT_TRUE(smtp.Disconnect()) << smtp.GetErrorText();
      EXPECT_EQ(smtp.GetErrorText(), "OK");
    }
    EXPECT_EQ(server.Received(),
              Helo() +
                  "MAIL From: <me@x.cn>\r\n"
                  "RCPT TO: <z@x.cn>\r\n"
                  "RCPT TO: <l@x.cn>\r\n"
                  "DATA\r\n" +
                  item.m_strHeader +
                  "X-Mailer: CSMTP class for MFC\r\n"
                  "\r\n"
                  "abc\r\n"
                  "\r\n.\r\n"
                  "QUIT\r\n")
        << "body " << body;
    EXPECT_EQ(item.m_strBody, "abc\r\n");
  }
}

TEST_F(SmtpSessionTest, LoginRunsWhateverTheGreetingSays) {
  for (const char* greeting : {"220 mx ESMTP ready", "220 mx ready"}) {
    CScriptedSmtpServer server(CSmtpScript()
                                   .Line(greeting)
                                   .Reply("250 hello")
                                   .Reply("334 VXNlcm5hbWU6")
                                   .Reply("334 UGFzc3dvcmQ6")
                                   .Reply("235 ok")
                                   .Reply("221 bye"));
    CSMTP smtp(server.Host(), server.Port());
    smtp.SetLogin({1, "user", "\xC3\xDC\xC2\xEB"});
    EXPECT_TRUE(smtp.Connect()) << greeting << ": " << smtp.GetErrorText();
    EXPECT_TRUE(smtp.Disconnect());
    EXPECT_EQ(server.Received(), Helo() + "AUTH LOGIN\r\n" + Base64Encode("user") + "\r\n" +
                                     Base64Encode("\xC3\xDC\xC2\xEB") + "\r\nQUIT\r\n");
  }
}

TEST_F(SmtpSessionTest, OnlyTheLastLoginReplyDecides) {
  struct Case {
    const char* last;
    bool accepted;
  };
  for (const Case& c : {Case{"235 ok", true}, Case{"235", true}, Case{"535 no", false},
                        Case{"23", false}, Case{"2350", true}}) {
    // The replies to AUTH LOGIN and the user name carry error codes.
    CScriptedSmtpServer server(CSmtpScript()
                                   .Line("220 ESMTP")
                                   .Reply("250 hello")
                                   .Reply("504 what")
                                   .Reply("535 who")
                                   .Reply(c.last)
                                   .Reply("221 bye"));
    {
      CSMTP smtp(server.Host(), server.Port());
      smtp.SetLogin({1, "", "pw"});
      EXPECT_EQ(smtp.Connect(), c.accepted) << c.last;
      if (!c.accepted) {
        EXPECT_EQ(smtp.GetErrorText(), platform::FromUtf8("邮件服务器(SMTP)验证失败."));
        // A refused login keeps the socket open until destruction, without QUIT.
        EXPECT_FALSE(server.WaitForSessionEnd(0, 100ms));
      }
    }
    // An empty user name goes out as an empty line.
    EXPECT_EQ(server.Received(), Helo() + "AUTH LOGIN\r\n\r\n" + Base64Encode("pw") + "\r\n" +
                                     (c.accepted ? "QUIT\r\n" : ""))
        << c.last;
  }
}

TEST_F(SmtpSessionTest, EsmtpGreetingWithoutLoginIsRefusedAfterHelo) {
  CScriptedSmtpServer server(CSmtpScript::Replies({"220 mx ESMTP Postfix", "250 hello"}));
  {
    CSMTP smtp(server.Host(), server.Port());
    EXPECT_FALSE(smtp.Connect());
    EXPECT_EQ(smtp.GetErrorText(), platform::FromUtf8("邮件服务器(SMTP)需要验证."));
    CMailItem item = Item("a@x.cn");
    EXPECT_FALSE(smtp.SendMail(item));
    EXPECT_EQ(smtp.GetErrorText(), "Must be connected");
  }
  EXPECT_EQ(server.Received(), Helo());
}

TEST_F(SmtpSessionTest, LowerCaseEsmtpDoesNotAskForLogin) {
  CScriptedSmtpServer server(CSmtpScript::Replies({"220 mx esmtp", "250 hello", "221 bye"}));
  CSMTP smtp(server.Host(), server.Port());
  EXPECT_TRUE(smtp.Connect()) << smtp.GetErrorText();
  EXPECT_TRUE(smtp.Disconnect());
}

TEST_F(SmtpSessionTest, ConnectAndDisconnectAreIdempotent) {
  CScriptedSmtpServer server(CSmtpScript::Replies({"220 mx", "250 hello", "221 bye"}));
  CSMTP smtp(server.Host(), server.Port());
  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_TRUE(smtp.Connect());
  EXPECT_TRUE(smtp.Connect());
  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_EQ(server.Received(), Helo() + "QUIT\r\n");
  EXPECT_EQ(smtp.GetServer(), "127.0.0.1");
  EXPECT_EQ(smtp.GetPort(), server.Port());
}

// A refused recipient does not stop the transaction: the others still get
// the message, but the call fails with the refusal, naming the recipient,
// instead of passing as a success; when the refusal makes DATA fail, the
// text names it before the DATA failure.
TEST_F(SmtpSessionTest, RefusedRecipientDoesNotStopTheTransactionButFails) {
  {
    CScriptedSmtpServer server(CSmtpScript::Replies(
        {"220 mx", "250 hello", "250 ok", "550 5.1.1 no such user", "250 ok", "354 go",
         "250 queued", "221 bye"}));
    CSMTP smtp(server.Host(), server.Port());
    ASSERT_TRUE(smtp.Connect());
    CMailItem item = Item("bad@x.cn;good@x.cn");
    EXPECT_FALSE(smtp.SendMail(item));
    EXPECT_EQ(smtp.GetErrorText(), FromUtf8("收件人 <bad@x.cn> 被拒收: 550 5.1.1 no such user"));
    EXPECT_NE(server.ReceivedSoFar().find("RCPT TO: <good@x.cn>\r\nDATA\r\n"), std::string::npos);
    const SmtpSessionLog log = smtp.Log();
    EXPECT_TRUE(log.m_bMessageAccepted);
    ASSERT_EQ(log.m_recipients.size(), 2u);
    EXPECT_EQ(log.m_recipients[0].m_nCode, 550);
    EXPECT_TRUE(log.m_recipients[1].Accepted());
  }
  CScriptedSmtpServer server(CSmtpScript::Replies(
      {"220 mx", "250 hello", "250 ok", "451 4.7.1 greylisted", "503 no valid recipients",
       "221 bye"}));
  CSMTP smtp(server.Host(), server.Port());
  ASSERT_TRUE(smtp.Connect());
  CMailItem item = Item("grey@x.cn");
  EXPECT_FALSE(smtp.SendMail(item));
  EXPECT_EQ(smtp.GetErrorText(), FromUtf8("收件人 <grey@x.cn> 暂时失败: 451 4.7.1 greylisted; ") +
                                     "503:SMTP server not ready for data");
}

TEST_F(SmtpSessionTest, RepliesAreReadOnceEach) {
  struct Case {
    const char* name;
    CSmtpScript script;
    const char* error;  // after Connect fails at HELO
  };
  const Case cases[] = {
      {"two digits", CSmtpScript::Replies({"220 mx", "25"}), "25:SMTP server error"},
      {"no number", CSmtpScript::Replies({"220 mx", "ok fine"}), "0:SMTP server error"},
      {"space first", CSmtpScript::Replies({"220 mx", " 250 ok"}), "25:SMTP server error"},
      {"sign", CSmtpScript::Replies({"220 mx", "-25 no"}), "-25:SMTP server error"},
      {"greeting in two pieces",
       CSmtpScript().Send("220 mx re").Pause(300ms).Send("ady\r\n").Await().Line("250 hello"),
       "0:SMTP server error"},
      {"closed after greeting", CSmtpScript().Line("220 mx").Await().Close(),
       "0:SMTP server error"},
  };
  for (const Case& c : cases) {
    CScriptedSmtpServer server(c.script);
    {
      CSMTP smtp(server.Host(), server.Port());
      EXPECT_FALSE(smtp.Connect()) << c.name;
      EXPECT_EQ(smtp.GetErrorText(), c.error) << c.name;
    }
    EXPECT_EQ(server.Received(), Helo()) << c.name;
  }
}

TEST_F(SmtpSessionTest, SecondPieceOfGreetingAnswersHelo) {
  CScriptedSmtpServer server(
      CSmtpScript().Send("220 mx\r\n").Pause(300ms).Send("250 hello\r\n").Await().Await().Line(
          "221 bye"));
  CSMTP smtp(server.Host(), server.Port());
  EXPECT_TRUE(smtp.Connect()) << smtp.GetErrorText();
  EXPECT_TRUE(smtp.Disconnect()) << smtp.GetErrorText();
}

// One row of the failure table: where the conversation stops, the error text,
// and how what the client sent ends ("{HELO}" stands for the HELO line).
struct FailureRow {
  const char* name;
  CSmtpScript script;
  int failingCall;  // 0 Connect, 1 SendMail, 2 Disconnect
  std::string error;
  std::string sentEnd;
  std::string recipients = "a@x.cn";
};

void PrintTo(const FailureRow& row, std::ostream* out) { *out << row.name; }

class SmtpFailureTest : public SmtpSessionTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(SmtpFailureTest, FailsWithItsOwnText) {
  const FailureRow& row = GetParam();
  CScriptedSmtpServer server(row.script);
  {
    CSMTP smtp(server.Host(), server.Port());
    CMailItem item = Item(row.recipients);
    bool results[] = {smtp.Connect(), false, false};
    if (results[0]) results[1] = smtp.SendMail(item);
    if (results[1]) results[2] = smtp.Disconnect();
    for (int call = 0; call < 3; ++call) {
      EXPECT_EQ(results[call], call < row.failingCall) << "call " << call;
    }
    EXPECT_EQ(smtp.GetErrorText(), row.error);
  }
  std::string sentEnd = row.sentEnd;
  if (sentEnd.compare(0, 6, "{HELO}") == 0) sentEnd = Helo() + sentEnd.substr(6);
  const std::string received = server.Received();
  ASSERT_GE(received.size(), sentEnd.size()) << received;
  EXPECT_EQ(received.substr(received.size() - sentEnd.size()), sentEnd);
}

CSmtpScript UpToMail() { return CSmtpScript::Replies({"220 mx", "250 hello"}); }

INSTANTIATE_TEST_SUITE_P(
    Table, SmtpFailureTest,
    ::testing::Values(
        FailureRow{"GreetingNot220", CSmtpScript::Replies({"554 go away"}), 0,
                   platform::FromUtf8("邮件服务器无响应."), ""},
        FailureRow{"ClosedBeforeGreeting", CSmtpScript().Close(), 0,
                   platform::FromUtf8("邮件服务器无响应."), ""},
        FailureRow{"SilentServer", CSmtpScript(), 0, platform::FromUtf8("邮件服务器无响应."), ""},
        FailureRow{"HeloRefused", CSmtpScript::Replies({"220 mx", "550 no"}), 0,
                   "550:SMTP server error", "{HELO}"},
        FailureRow{"SilentAfterHelo", CSmtpScript().Line("220 mx"), 0, "Socket Error", "{HELO}"},
        FailureRow{"NoRecipients", UpToMail().Reply("221 bye"), 1,
                   platform::FromUtf8("邮件没有收件人."), "{HELO}QUIT\r\n", "N<broken"},
        FailureRow{"MailFromRefused", UpToMail().Reply("550 sender").Reply("221 bye"), 1,
                   "550:SMTP server error", "MAIL From: <me@x.cn>\r\nQUIT\r\n"},
        FailureRow{"SilentAfterMailFrom", UpToMail(), 1, "Socket Error",
                   "MAIL From: <me@x.cn>\r\n"},
        FailureRow{"DataRefused",
                   UpToMail().Reply("250 ok").Reply("250 ok").Reply("554 no data").Reply("221 bye"),
                   1, "554:SMTP server not ready for data", "DATA\r\nQUIT\r\n"},
        FailureRow{"MessageRefused",
                   UpToMail().Reply("250 ok").Reply("250 ok").Reply("354 go").Reply(
                       "552 too big").Reply("221 bye"),
                   1, "552:SMTP server error", "\r\n.\r\nQUIT\r\n"},
        FailureRow{"QuitAnsweredWith250",
                   UpToMail().Reply("250 ok").Reply("250 ok").Reply("354 go").Reply("250 ok").Reply(
                       "250 ok"),
                   2, "250:SMTP server didn't terminate session", "\r\n.\r\nQUIT\r\n"},
        FailureRow{"ClosedBeforeQuitReply",
                   UpToMail().Reply("250 ok").Reply("250 ok").Reply("354 go").Reply("250 ok").Await(
                       ).Close(),
                   2, "0:SMTP server didn't terminate session", "QUIT\r\n"}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

TEST_F(SmtpSessionTest, RefusedConnectionAndNotConnected) {
  CSMTP smtp("127.0.0.1", CScriptedSmtpServer::UnusedPort());
  CMailItem item = Item("a@x.cn");
  EXPECT_FALSE(smtp.SendMail(item));
  EXPECT_EQ(smtp.GetErrorText(), "Must be connected");
  EXPECT_EQ(item.m_strHeader, "");  // nothing prepared
  EXPECT_FALSE(smtp.Connect());
  EXPECT_EQ(smtp.GetErrorText(), platform::FromUtf8("无法连接邮件服务器."));
  EXPECT_TRUE(smtp.Disconnect());
}

TEST_F(SmtpSessionTest, BodyLineEndsAreNormalisedBeforeEscaping) {
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  CSMTP smtp(server.Host(), server.Port());
  ASSERT_TRUE(smtp.Connect());
  CMailItem item = Item("a@x.cn", ".\nfirst\n.\nsecond\rthird\r\n.\r\n.end");
  ASSERT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
  ASSERT_TRUE(smtp.Disconnect());
  EXPECT_EQ(server.ReceivedMessage(),
            item.m_strHeader +
                "X-Mailer: CSMTP class for MFC\r\n\r\n"
                "..\r\nfirst\r\n..\r\nsecond\r\nthird\r\n..\r\n..end\r\n\r\n");
}

TEST_F(SmtpSessionTest, LineBreaksNeverReachCommands) {
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  CSMTP smtp(server.Host(), server.Port());
  ASSERT_TRUE(smtp.Connect());
  CMailItem item;
  item.m_strSender = "me@x.cn>\r\nRCPT TO: <evil@x.cn";
  item.AddRecipient("a@x.cn>\r\nDATA", "");
  EXPECT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
  const std::string received = server.ReceivedSoFar();
  EXPECT_NE(received.find("MAIL From: <me@x.cn>RCPT TO: <evil@x.cn>\r\n"
                          "RCPT TO: <a@x.cn>DATA>\r\nDATA\r\n"),
            std::string::npos)
      << received;
}

// A NUL byte ends a sender, subject or recipient there; in the body it is
// dropped. None reaches the wire.
TEST_F(SmtpSessionTest, NulBytesNeverReachTheWire) {
  using namespace std::string_literals;
  CScriptedSmtpServer server(CSmtpScript::Accepting(3));
  CMailItem item;
  item.m_strSender = "me@x.cn\0evil"s;
  item.m_strSubject = "Hi\0\r\nBcc: evil@x.cn"s;
  item.AddRecipientList("Zhang <z@x.cn>;l@x.cn\0;evil@x.cn"s);
  item.AddRecipient("a@x.cn\0>\r\nDATA"s, "A\0B"s);
  item.m_strBody = "line\0 one\n\0.\n"s;
  {
    CSMTP smtp(server.Host(), server.Port());
    ASSERT_TRUE(smtp.Connect());
    EXPECT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
  }
  const std::string received = server.Received();
  EXPECT_EQ(received.find('\0'), std::string::npos);
  EXPECT_NE(received.find("MAIL From: <me@x.cn>\r\nRCPT TO: <z@x.cn>\r\nRCPT TO: <l@x.cn>\r\n"
                          "RCPT TO: <a@x.cn>\r\nDATA\r\n"),
            std::string::npos)
      << received;
  EXPECT_NE(received.find("To: Zhang <z@x.cn>,<l@x.cn>,A<a@x.cn>\r\nSubject: Hi\r\n"),
            std::string::npos);
  EXPECT_NE(received.find("\r\n\r\nline one\r\n..\r\n\r\n.\r\n"), std::string::npos);
}

TEST_F(SmtpSessionTest, LargeBodyArrivesIntact) {
  std::string body;
  std::string expected;
  for (int i = 0; body.size() < 3'000'000; ++i) {
    body += "line " + std::to_string(i) + "\n.\n";
    expected += "line " + std::to_string(i) + "\r\n..\r\n";
  }
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  CSMTP smtp(server.Host(), server.Port());
  ASSERT_TRUE(smtp.Connect());
  CMailItem item = Item("a@x.cn", body);
  ASSERT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
  ASSERT_TRUE(smtp.Disconnect());
  const std::string message = server.ReceivedMessage();
  const std::string sentBody = message.substr(message.find("\r\n\r\n") + 4);
  EXPECT_EQ(sentBody.size(), expected.size() + 2);
  EXPECT_TRUE(sentBody == expected + "\r\n");
}

TEST_F(SmtpSessionTest, WaitsEndAtTheirLimits) {
  CSMTP::SetTimeouts({2000, 300, 2000});
  {
    // A server that never greets: the greeting wait gives up.
    CScriptedSmtpServer server{CSmtpScript()};
    CSMTP smtp(server.Host(), server.Port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(smtp.Connect());
    EXPECT_EQ(smtp.GetErrorText(), platform::FromUtf8("邮件服务器无响应."));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
  }
  CSMTP::SetTimeouts({2000, 2000, 300});
  {
    // Silent after the final dot: the longer end-of-data wait applies, and
    // the QUIT at destruction does not wait a second time.
    CScriptedSmtpServer server(UpToMail().Reply("250 ok").Reply("250 ok").Reply("354 go"));
    const auto start = std::chrono::steady_clock::now();
    {
      CSMTP smtp(server.Host(), server.Port());
      ASSERT_TRUE(smtp.Connect());
      CMailItem item = Item("a@x.cn");
      EXPECT_FALSE(smtp.SendMail(item));
      EXPECT_EQ(smtp.GetErrorText(), "Socket Error");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_EQ(server.Received().find("QUIT"), std::string::npos);
  }
}

TEST_F(SmtpSessionTest, ConnectGivesUpOnAServerThatNeverAccepts) {
  // A listener whose queue is full drops further connection requests, so the
  // last connect below never completes.
  platform::CTcpListener full;
  ASSERT_TRUE(full.Listen("127.0.0.1", 0, 0));
  std::vector<std::unique_ptr<platform::CTcpSocket>> queued;
  CSMTP::SetTimeouts({300, 2000, 2000});
  for (int attempt = 0; attempt < 8; ++attempt) {
    auto socket = std::make_unique<platform::CTcpSocket>();
    ASSERT_TRUE(socket->Create());
    if (!socket->Connect("127.0.0.1", full.Port(), 300)) break;
    queued.push_back(std::move(socket));
  }
  CSMTP smtp("127.0.0.1", full.Port());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(smtp.Connect());
  EXPECT_EQ(smtp.GetErrorText(), platform::FromUtf8("无法连接邮件服务器."));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

// The batch run's pattern: one session per message, each on a new CSMTP, the
// server failing a chosen session.
TEST_F(SmtpSessionTest, SessionsInARowFailAtTheChosenOne) {
  CScriptedSmtpServer server({CSmtpScript::Accepting(1, true), CSmtpScript::Accepting(),
                              CSmtpScript::Replies({"220 mx", "550 busy"}),
                              CSmtpScript::Accepting()});
  auto send = [&](bool login) {
    CSMTP smtp(server.Host(), server.Port());
    if (login) smtp.SetLogin({1, "u", "p"});
    CMailItem item = Item("a@x.cn");
    return smtp.Connect() && smtp.SendMail(item) && smtp.Disconnect();
  };
  EXPECT_TRUE(send(true));
  EXPECT_TRUE(send(false));
  EXPECT_FALSE(send(false));
  EXPECT_TRUE(send(false));
  EXPECT_TRUE(send(false));  // sessions past the list play the last script
  ASSERT_EQ(server.SessionCount(), 5);
  EXPECT_NE(server.Received(0).find("AUTH LOGIN\r\ndQ==\r\ncA==\r\nMAIL"), std::string::npos);
  EXPECT_EQ(server.Received(2), Helo());
  EXPECT_EQ(server.ReceivedMessage(4).substr(0, 6), "Date: ");
}

}  // namespace
