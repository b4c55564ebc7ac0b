// One table of transactions run with and without pipelining, the pipelined
// replies arriving all at once or a byte at a time, and with the second
// message announced so that its commands follow the first one's dot: the
// result, the error text and the log per recipient are the same every way,
// and the connection then carries the second message (RSET first after a
// failed one, unless its commands went ahead) unless the server is closing.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "smtp/smtp_session.h"
#include "support/scripted_smtp_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;

enum class Way { Lockstep, PipelinedWhole, PipelinedBytes, PipelinedAhead };

struct PipelineRow {
  const char* m_szName;
  std::vector<std::string> m_replies;  // to MAIL, each RCPT and DATA
  std::string m_strFinal;              // after the final dot, when DATA got 354
  bool m_bKeepGoing;
  // Expected, whichever way.
  bool m_bSent;
  SmtpStep m_failedStep;
  std::vector<int> m_recipientCodes;
  bool m_bAccepted;
  bool m_bCarriesAnother;
};

int Code(const std::string& reply) { return std::stoi(reply.substr(0, 3)); }

// What the server answers, as the client in `way` asks: lock-step stops where
// the client stops asking; a pipelined group is answered whole.
CSmtpScript ScriptFor(const PipelineRow& row, Way way) {
  CSmtpScript script;
  script.Line("220 mx ESMTP").Reply("250-mx\r\n250-PIPELINING\r\n250 8BITMIME");
  const std::size_t recipients = row.m_replies.size() - 2;
  bool anyAccepted = false;
  bool closing = false;
  const bool mailTaken = Code(row.m_replies[0]) == 250;
  if (way == Way::Lockstep) {
    script.Reply(row.m_replies[0]);
    bool ask = mailTaken;
    for (std::size_t i = 1; ask && i <= recipients; ++i) {
      script.Reply(row.m_replies[i]);
      anyAccepted = anyAccepted || Code(row.m_replies[i]) / 100 == 2;
      if (row.m_bKeepGoing && Code(row.m_replies[i]) == 421) ask = false, closing = true;
    }
    closing = closing || Code(row.m_replies[0]) == 421;
    if (ask && (anyAccepted || !row.m_bKeepGoing)) script.Reply(row.m_replies.back());
  } else {
    std::string replies;
    for (std::size_t i = 0; i < row.m_replies.size(); ++i) {
      script.Await();
      if (closing) continue;
      replies += row.m_replies[i] + "\r\n";
      if (i >= 1 && i <= recipients) anyAccepted = anyAccepted || Code(row.m_replies[i]) / 100 == 2;
      closing = Code(row.m_replies[i]) == 421;
    }
    if (way != Way::PipelinedBytes) {
      script.Send(replies);
    } else {
      for (char c : replies) script.Send(std::string(1, c)).Pause(1ms);
    }
  }
  if (closing) return script.Close();
  const bool data = Code(row.m_replies.back()) == 354 && (anyAccepted || !row.m_bKeepGoing);
  if (data) script.AwaitMessage().Line(row.m_strFinal);
  // The keep-going conversation resets a transaction nobody was taken for;
  // else RSET comes before the second message when the first failed, but
  // for the second's commands following the first's dot.
  const bool ahead = way == Way::PipelinedAhead && data;
  if (!row.m_bAccepted && !ahead) script.Reply("250 reset");
  // The second message, to one recipient.
  if (way == Way::Lockstep) {
    script.Reply("250 ok").Reply("250 ok").Reply("354 go");
  } else {
    script.Await().Await().Await().Send("250 ok\r\n250 ok\r\n354 go\r\n");
  }
  return script.AwaitMessage().Line("250 queued 2").Reply("221 bye");
}

CMailItem Item(int recipients) {
  CMailItem item;
  item.m_strSender = "me@x.cn";
  item.m_strSubject = "Hi";
  for (int i = 0; i < recipients; ++i) item.AddRecipient("r" + std::to_string(i) + "@x.cn", "");
  item.m_strBody = "line\r\n.dot line\r\n";
  return item;
}

class PipeliningTest : public ::testing::TestWithParam<PipelineRow> {
 protected:
  void SetUp() override { m_saved = CSMTP::SetTimeouts({2000, 2000, 2000}); }
  void TearDown() override { CSMTP::SetTimeouts(m_saved); }

 private:
  SmtpTimeouts m_saved;
};

TEST_P(PipeliningTest, SameOutcomeEveryWay) {
  const PipelineRow& row = GetParam();
  const int recipients = static_cast<int>(row.m_replies.size()) - 2;
  std::string firstError;
  for (Way way : {Way::Lockstep, Way::PipelinedWhole, Way::PipelinedBytes, Way::PipelinedAhead}) {
    SCOPED_TRACE(static_cast<int>(way));
    CScriptedSmtpServer server(ScriptFor(row, way));
    CSMTP smtp(server.Host(), server.Port());
    smtp.SetSecurity({SecurityPlainEhlo, ""});
    smtp.SetKeepGoing(row.m_bKeepGoing);
    smtp.SetPipelining(way != Way::Lockstep);
    ASSERT_TRUE(smtp.Connect()) << platform::ToUtf8(smtp.GetErrorText());
    EXPECT_EQ(smtp.Pipelines(), way != Way::Lockstep);
    CMailItem item = Item(recipients);
    CMailItem second = Item(1);
    if (way == Way::PipelinedAhead) smtp.AnnounceNext(&second);
    EXPECT_EQ(smtp.SendMail(item), row.m_bSent);
    const bool data = smtp.Log().m_bMessageSent;
    EXPECT_EQ(smtp.SentAhead(second), way == Way::PipelinedAhead && data);
    const SmtpSessionLog log = smtp.Log();
    EXPECT_EQ(log.m_failedStep, row.m_failedStep);
    EXPECT_EQ(log.m_bMessageAccepted, row.m_bAccepted);
    std::vector<int> codes;
    for (const SmtpRecipientReply& reply : log.m_recipients) codes.push_back(reply.m_nCode);
    EXPECT_EQ(codes, row.m_recipientCodes);
    if (way == Way::Lockstep) firstError = smtp.GetErrorText();
    EXPECT_EQ(platform::ToUtf8(smtp.GetErrorText()), platform::ToUtf8(firstError));
    ASSERT_EQ(smtp.CanCarryAnother(), row.m_bCarriesAnother);
    if (!row.m_bCarriesAnother) continue;
    EXPECT_TRUE(smtp.SendMail(second)) << platform::ToUtf8(smtp.GetErrorText());
    EXPECT_EQ(smtp.Log().m_failedStep, SmtpStep::None);
    EXPECT_EQ(smtp.Log().m_strMessageReply, "250 queued 2");
    EXPECT_TRUE(smtp.Disconnect());
    const std::string received = server.Received();
    EXPECT_EQ(received.find("RSET") != std::string::npos,
              !row.m_bAccepted && !(way == Way::PipelinedAhead && data));
    EXPECT_NE(received.find("\r\n..dot line\r\n"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipeliningTest,
    ::testing::Values(
        PipelineRow{"AllTaken", {"250 ok", "250 a", "250 b", "250 c", "354 go"}, "250 queued",
                    false, true, SmtpStep::None, {250, 250, 250}, true, true},
        PipelineRow{"RefusedInTheMiddle", {"250 ok", "250 a", "550 no such user", "250 c", "354 go"},
                    "250 queued", false, false, SmtpStep::None, {250, 550, 250}, true, true},
        PipelineRow{"RefusedInTheMiddleKeepGoing",
                    {"250 ok", "250 a", "550 no such user", "250 c", "354 go"}, "250 queued", true,
                    false, SmtpStep::None, {250, 550, 250}, true, true},
        PipelineRow{"TemporaryFailureToMail", {"451 try later", "503 no MAIL", "503 no MAIL"}, "",
                    false, false, SmtpStep::Mail, {}, false, true},
        PipelineRow{"AllRefusedDataRefused", {"250 ok", "550 a", "550 b", "554 no recipients"}, "",
                    false, false, SmtpStep::Data, {550, 550}, false, true},
        PipelineRow{"AllRefusedKeepGoing", {"250 ok", "550 a", "550 b", "554 no recipients"}, "",
                    true, false, SmtpStep::Rcpt, {550, 550}, false, true},
        PipelineRow{"MessageRefused", {"250 ok", "250 a", "354 go"}, "554 spam", false, false,
                    SmtpStep::Message, {250}, false, true},
        PipelineRow{"ClosingAtMail", {"421 closing", "421 closing", "421 closing"}, "", false,
                    false, SmtpStep::Mail, {}, false, false},
        PipelineRow{"ClosingAtRecipientKeepGoing", {"250 ok", "250 a", "421 closing", "250 c", "354 go"},
                    "", true, false, SmtpStep::Rcpt, {250, 421, 0}, false, false}),
    [](const ::testing::TestParamInfo<PipelineRow>& info) { return info.param.m_szName; });

}  // namespace
