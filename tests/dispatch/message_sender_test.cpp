// The run's sender against the scripted server: how many connections the
// settings give, a server leaving between messages costing no message, and
// each message reporting what a session of its own would have.
#include "dispatch/message_send.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/scripted_smtp_server.h"

namespace {

using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;

enum class End { Quit, Close, Closing421 };

// An EHLO server that takes `messages` messages, then ends as `end` says.
CSmtpScript Carrying(int messages, End end, bool pipelining = true) {
  CSmtpScript script;
  script.Line("220 mx ESMTP").Reply(pipelining ? "250-mx\r\n250 PIPELINING" : "250 mx");
  for (int i = 0; i < messages; ++i) {
    script.Reply("250 ok").Reply("250 ok").Reply("354 go").AwaitMessage().Line("250 queued");
  }
  if (end == End::Close) return script.Close();
  if (end == End::Closing421) return script.Reply("421 closing").Close();
  return script.Reply("221 bye");
}

CSmtpScript HeloCarrying() {
  return CSmtpScript::Accepting(1);
}

MessageTarget Target(const CScriptedSmtpServer& server, int security, int reuse) {
  MessageTarget target;
  target.m_account.m_strServer = server.Host();
  target.m_account.m_strMail = "me@x.cn";
  target.m_account.m_nSecurity = security;
  target.m_account.m_nReuse = reuse;
  target.m_nPort = server.Port();
  return target;
}

struct ReuseRow {
  const char* m_szName;
  int m_nSecurity;
  int m_nReuse;
  std::vector<CSmtpScript> m_sessions;
  int m_nMessages;
  int m_nConnections;
};

class MessageSenderTest : public ::testing::TestWithParam<ReuseRow> {
 protected:
  void SetUp() override { m_saved = CSMTP::SetTimeouts({2000, 2000, 2000}); }
  void TearDown() override { CSMTP::SetTimeouts(m_saved); }

 private:
  SmtpTimeouts m_saved;
};

TEST_P(MessageSenderTest, EveryMessageArrivesOnTheConnectionsTheSettingsGive) {
  const ReuseRow& row = GetParam();
  CScriptedSmtpServer server(row.m_sessions);
  const MessageTarget target = Target(server, row.m_nSecurity, row.m_nReuse);
  {
    CMessageSender sender;
    for (int i = 0; i < row.m_nMessages; ++i) {
      SCOPED_TRACE(i);
      CMailItem item;
      item.AddRecipient("r" + std::to_string(i) + "@x.cn", "");
      item.m_strSubject = "n" + std::to_string(i);
      item.m_strBody = "body " + std::to_string(i) + "\r\n.dot\r\n";
      std::string error;
      SmtpSessionLog log;
      ASSERT_TRUE(sender.Send(target, item, error, &log)) << platform::ToUtf8(error);
      EXPECT_TRUE(log.m_bMessageAccepted);
      EXPECT_EQ(log.m_failedStep, SmtpStep::None);
      ASSERT_EQ(log.m_recipients.size(), 1u);
      EXPECT_EQ(log.m_recipients[0].m_nCode, 250);
    }
    EXPECT_EQ(sender.ConnectionsOpened(), row.m_nConnections);
  }
  ASSERT_EQ(server.SessionCount(), row.m_nConnections);
  std::string all;
  for (int i = 0; i < row.m_nConnections; ++i) all += server.Received(i);
  for (int i = 0; i < row.m_nMessages; ++i) {
    const std::string body = "body " + std::to_string(i) + "\r\n..dot\r\n";
    const std::size_t at = all.find(body);
    ASSERT_NE(at, std::string::npos) << i;
    EXPECT_EQ(all.find(body, at + 1), std::string::npos) << i << " arrived twice";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageSenderTest,
    ::testing::Values(
        ReuseRow{"ModeZeroIgnoresReuse", 0, 20, {HeloCarrying()}, 3, 3},
        ReuseRow{"ReuseOneIsOneSessionEach", 3, 1, {Carrying(1, End::Quit)}, 3, 3},
        ReuseRow{"ReuseThree", 3, 3, {Carrying(3, End::Quit)}, 7, 3},
        ReuseRow{"LockstepReuse", 3, 3, {Carrying(3, End::Quit, false)}, 7, 3},
        ReuseRow{"DefaultTwenty", 3, 0, {Carrying(20, End::Quit)}, 25, 2},
        ReuseRow{"ServerClosesBetweenMessages", 3, 20,
                 {Carrying(2, End::Close), Carrying(20, End::Quit)}, 5, 2},
        ReuseRow{"ServerSays421BetweenMessages", 3, 20,
                 {Carrying(2, End::Closing421), Carrying(20, End::Quit)}, 5, 2}),
    [](const ::testing::TestParamInfo<ReuseRow>& info) { return info.param.m_szName; });

// A refused recipient on a carried connection reads as it would in a session
// of its own, and the next message goes after RSET.
TEST_F(MessageSenderTest, RefusalOnACarriedConnectionReadsAsItsOwnSession) {
  CSmtpScript script;
  script.Line("220 mx ESMTP").Reply("250-mx\r\n250 PIPELINING");
  script.Reply("250 ok").Reply("250 ok").Reply("354 go").AwaitMessage().Line("250 queued");
  script.Reply("250 ok").Reply("550 no such user").Reply("554 no valid recipients");
  script.Reply("250 reset").Reply("250 ok").Reply("250 ok").Reply("354 go").AwaitMessage()
      .Line("250 queued").Reply("221 bye");
  CScriptedSmtpServer server(script);
  const MessageTarget target = Target(server, 3, 20);
  CMessageSender sender;
  std::vector<bool> results;
  std::vector<SmtpSessionLog> logs;
  for (int i = 0; i < 3; ++i) {
    CMailItem item;
    item.AddRecipient("r@x.cn", "");
    item.m_strBody = "b";
    std::string error;
    SmtpSessionLog log;
    results.push_back(sender.Send(target, item, error, &log));
    logs.push_back(log);
  }
  sender.Finish();
  EXPECT_EQ(results, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(logs[1].m_failedStep, SmtpStep::Data);
  EXPECT_EQ(logs[1].m_recipients.at(0).m_nCode, 550);
  EXPECT_EQ(logs[1].m_recipients.at(0).m_strReply, "550 no such user");
  EXPECT_FALSE(logs[1].m_bMessageAccepted);
  EXPECT_EQ(logs[2].m_failedStep, SmtpStep::None);
  EXPECT_EQ(sender.ConnectionsOpened(), 1);
  EXPECT_NE(server.Received().find("RSET\r\nMAIL"), std::string::npos);
}

}  // namespace
