// Keep-going runs ("onerror"=1) against the scripted server, on a clock that
// never waits: what each reply makes of a recipient, the record's rows, the
// undelivered list, the report line and the final message.
#include <chrono>
#include <string>
#include <vector>

#include "batch_run_fixture.h"
#include "dispatch/run_journal.h"
#include "dispatch/run_report.h"
#include "dispatch/send_record_reader.h"

namespace batchtest {
namespace {

using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;

// The record of the test clock's run: UTC 2003-12-31 23:30 is 07:30 on the
// first of January in UTC+8.
const char kRecordStem[] = "20040101-073000";

struct Expected {
  const char* recipient;
  const char* result;  // UTF-8
  const char* reply;
  int attempts;
};

struct ReplyCase {
  const char* name;
  std::vector<std::string> lines;  // the address list
  std::vector<CSmtpScript> scripts;
  std::vector<Expected> rows;
  const char* status;  // the report line's status, UTF-8 ("成功" for none)
  bool failed = false;
};

CSmtpScript Refusing(const std::string& reply) {
  return CSmtpScript::Replies({"220 mx", "250 hello", "250 ok", reply, "250 reset", "221 bye"});
}

class KeepGoingRunTest : public BatchRunTest {
 protected:
  void SetUp() override {
    BatchRunTest::SetUp();
    m_host.m_clock = &m_clock;
  }

  void Prepare(const std::vector<std::string>& lines, const std::string& extra = "") {
    m_dir.WriteFile("mail/m1", "hello\n");
    std::string list;
    for (const std::string& line : lines) list += line + "\r\n";
    m_dir.WriteFile("list.txt", list);
    m_dir.WriteFile("运行报告.txt", "");
    m_dir.WriteFile("ini/Stmp.Ini",
                    "[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\nemstp=0\r\n"
                    "[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\nmailsubject=s\r\nonerror=1\r\n" +
                        extra);
  }

  std::vector<RecordRow> Rows() const {
    std::vector<RecordRow> rows;
    const std::filesystem::path record =
        m_dir.Path() / std::filesystem::u8path("发送记录") / (std::string(kRecordStem) + ".csv");
    EXPECT_TRUE(ReadSendRecord(record, rows));
    return rows;
  }

  std::string ReportStatus() const {
    ReportFields fields;
    const std::string report = m_dir.ReadFile("运行报告.txt");
    SplitReportLine(report.substr(report.rfind('\n') + 1), fields);
    return TrimWhiteSpace(fields.m_strStatus);
  }

  CInstantClock m_clock;
};

class ReplyOutcomeTest : public KeepGoingRunTest,
                         public ::testing::WithParamInterface<ReplyCase> {};

void PrintTo(const ReplyCase& row, std::ostream* out) { *out << row.name; }

TEST_P(ReplyOutcomeTest, RecordsEachRecipientAsTheServerSaid) {
  const ReplyCase& row = GetParam();
  Prepare(row.lines, "maxerrors=2\r\n");
  CScriptedSmtpServer server(row.scripts);
  Run(true, server.Port());

  const std::vector<RecordRow> rows = Rows();
  ASSERT_EQ(rows.size(), row.rows.size());
  std::int64_t undelivered = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].m_strMailFile, "m1");
    EXPECT_EQ(rows[i].m_strRecipient, row.rows[i].recipient);
    EXPECT_EQ(rows[i].m_strResult, FromUtf8(row.rows[i].result));
    EXPECT_EQ(rows[i].m_strReply, FromUtf8(row.rows[i].reply));
    EXPECT_EQ(rows[i].m_nAttempts, row.rows[i].attempts);
    if (IsUndelivered(rows[i].m_result)) ++undelivered;
  }
  EXPECT_EQ(m_run.Outcome().m_nUndelivered, undelivered);
  EXPECT_EQ(m_run.Outcome().m_bFailed, row.failed);
  const std::string record = platform::JoinPath(FromUtf8("发送记录"), std::string(kRecordStem) + ".csv");
  const std::string status = FromUtf8(row.status);
  EXPECT_EQ(ReportStatus(), status == FromUtf8("成功") ? status : status + ", " + record);
  EXPECT_EQ(RecordPathFromStatus(m_dir.Path(), ReportStatus()).empty(), undelivered == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplyOutcomeTest,
    ::testing::Values(
        ReplyCase{"RefusedAmongGood",
                  {"a@x.cn", "Bad<bad@x.cn>", "c@x.cn"},
                  {CSmtpScript::Accepting(), Refusing("550 5.1.1 User unknown"),
                   CSmtpScript::Accepting()},
                  {{"a@x.cn", "已送达", "250 queued", 1},
                   {"Bad<bad@x.cn>", "被拒收", "550 5.1.1 User unknown", 1},
                   {"c@x.cn", "已送达", "250 queued", 1}},
                  "未送达 1 封"},
        ReplyCase{"MixedLine",
                  {"bad@x.cn;good@x.cn"},
                  {CSmtpScript::Replies({"220 mx", "250 hello", "250 ok", "550 5.1.1 no", "250 ok",
                                         "354 go", "250 queued", "221 bye"})},
                  {{"bad@x.cn", "被拒收", "550 5.1.1 no", 1}, {"good@x.cn", "已送达", "250 queued", 1}},
                  "未送达 1 封"},
        ReplyCase{"GreylistedOnce",
                  {"grey@x.cn"},
                  {Refusing("451 4.7.1 Greylisted, try later"), CSmtpScript::Accepting()},
                  {{"grey@x.cn", "已送达", "250 queued", 2}},
                  "成功"},
        ReplyCase{"RateLimitAtMail",
                  {"a@x.cn"},
                  {CSmtpScript::Replies({"220 mx", "250 hello", "421 4.7.0 try again later"}).Close(),
                   CSmtpScript::Accepting()},
                  {{"a@x.cn", "已送达", "250 queued", 2}},
                  "成功"},
        ReplyCase{"RefusedAfterTheDot",
                  {"a@x.cn"},
                  {CSmtpScript::Replies({"220 mx", "250 hello", "250 ok", "250 ok", "354 go",
                                         "554 5.7.1 spam", "221 bye"})},
                  {{"a@x.cn", "被拒收", "554 5.7.1 spam", 1}},
                  "未送达 1 封"},
        ReplyCase{"TakenThenQuitFails",
                  {"a@x.cn"},
                  {CSmtpScript::Replies({"220 mx", "250 hello", "250 ok", "250 ok", "354 go",
                                         "250 queued", "500 what"})},
                  {{"a@x.cn", "已送达", "250 queued", 1}},
                  "成功"},
        ReplyCase{"DuplicateAndCase",
                  {"a@x.cn", "A@X.CN", "b@x.cn"},
                  {CSmtpScript::Accepting()},
                  {{"a@x.cn", "已送达", "250 queued", 1}, {"A@X.CN", "重复", "", 0},
                   {"b@x.cn", "已送达", "250 queued", 1}},
                  "成功"},
        ReplyCase{"GreetingRefusedEndsTheRun",
                  {"a@x.cn", "b@x.cn"},
                  {CSmtpScript::Replies({"554 go away"})},
                  {{"a@x.cn", "未发送", "邮件服务器无响应.", 0}, {"b@x.cn", "未发送", "", 0}},
                  "邮件服务器无响应.",
                  true},
        ReplyCase{"ErrorsInARow",
                  {"a@x.cn", "b@x.cn", "c@x.cn"},
                  {Refusing("550 5.1.1 no")},
                  {{"a@x.cn", "被拒收", "550 5.1.1 no", 1},
                   {"b@x.cn", "被拒收", "550 5.1.1 no", 1},
                   {"c@x.cn", "未发送", "", 0}},
                  "连续 2 封邮件未能送达, 发送停止. 550 5.1.1 no",
                  true}));

// Greylisting with retries: the first retry waits a minute after the
// failure, the record counts the tries, and a retry window of 0 leaves the
// temporary failure as it was.
TEST_F(KeepGoingRunTest, TemporaryFailuresAreTriedAgainAfterTheFirstPass) {
  Prepare({"grey@x.cn", "ok@x.cn"}, "retry=30\r\n");
  CScriptedSmtpServer server({Refusing("451 4.7.1 greylisted"), CSmtpScript::Accepting(),
                              Refusing("451 4.7.1 greylisted"), CSmtpScript::Accepting()});
  Run(true, server.Port());
  EXPECT_EQ(server.SessionCount(), 4);
  EXPECT_NE(server.Received(1).find("RCPT TO: <ok@x.cn>"), std::string::npos);
  EXPECT_NE(server.Received(3).find("RCPT TO: <grey@x.cn>"), std::string::npos);
  // One minute, then two after the second failure.
  EXPECT_GE(m_clock.m_waited, std::chrono::minutes(3));
  const std::vector<RecordRow> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].m_strAddress, "grey@x.cn");
  EXPECT_EQ(rows[1].m_nAttempts, 3);
  bool waited = false;
  for (const RunProgress& progress : m_host.m_progress) {
    waited = waited || (progress.m_nRetryWaiting == 1 && progress.m_nRetrySeconds > 0);
  }
  EXPECT_TRUE(waited);
  EXPECT_EQ(m_host.m_progress.back().m_nDelivered, 2);
  EXPECT_EQ(m_host.m_events.back(),
            "box:" + FromUtf8("发送完成: 已送达 2 封, 未送达 0 封.\n发送记录: ") +
                platform::PathToCodePage(m_dir.Path() / std::filesystem::u8path("发送记录") /
                                         (std::string(kRecordStem) + ".csv")));
}

TEST_F(KeepGoingRunTest, StillFailingWhenTheWindowEndsAndListedAsUndelivered) {
  Prepare({"Grey<grey@x.cn>", "bad@x.cn", "Grey<GREY@x.cn>"}, "retry=5\r\n");
  CScriptedSmtpServer server({Refusing("451 4.7.1 greylisted"), Refusing("550 5.1.1 no"),
                              Refusing("451 4.7.1 greylisted")});
  Run(true, server.Port());
  // Tries 1 and 3 minutes after the first pass; the next, 4 minutes later,
  // falls outside the window. The duplicate is no session of its own.
  EXPECT_EQ(server.SessionCount(), 4);
  const std::vector<RecordRow> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].m_strResult, FromUtf8("暂时失败"));
  EXPECT_EQ(rows[2].m_strReply, "451 4.7.1 greylisted");
  EXPECT_EQ(rows[2].m_nAttempts, 3);
  EXPECT_EQ(m_dir.ReadFile("发送记录/" + std::string(kRecordStem) + "-未送达.txt"),
            "bad@x.cn\r\nGrey<grey@x.cn>\r\n");
  EXPECT_EQ(m_dir.ReadFile("发送记录/" + std::string(kRecordStem) + ".csv").find(
                FromUtf8("时间,邮件文件,收件人,结果,服务器回复,尝试次数\r\n2004-01-01 07:30:00,m1,")),
            0u);
}

// The waits between messages on the run's clock: a temporary failure holds
// the next message 5 s, 10 s after a second one in a row, 5 s again once a
// message got through; each "slow down" reply widens the gap between message
// starts (1 s, 2 s, 4 s) for the rest of the run.
TEST_F(KeepGoingRunTest, HoldsBackAfterTemporaryFailuresAndSlowsDownWhenAsked) {
  Prepare({"a@x.cn", "b@x.cn", "c@x.cn", "d@x.cn", "e@x.cn", "f@x.cn"}, "retry=0\r\n");
  const CSmtpScript limited =
      CSmtpScript::Replies({"220 mx", "250 hello", "421 4.7.0 try again later"}).Close();
  CScriptedSmtpServer server({limited, limited, CSmtpScript::Accepting(), limited,
                              CSmtpScript::Accepting(), CSmtpScript::Accepting()});
  Run(true, server.Port());
  EXPECT_EQ(server.SessionCount(), 6);
  // 5 + 10 before c, the gap of 2 before d, 5 before e, the gap of 4 before f.
  EXPECT_EQ(m_clock.m_waited, std::chrono::seconds(26));
  EXPECT_EQ(m_run.Outcome().m_nDelivered, 3);
  EXPECT_EQ(m_run.Outcome().m_nUndelivered, 3);
}

// A stop while the run waits for a retry ends the wait: the waiting
// recipient is recorded as still failing, the run as stopped.
TEST_F(KeepGoingRunTest, StopEndsTheWaitForARetry) {
  Prepare({"grey@x.cn"});
  CScriptedSmtpServer server({Refusing("451 4.7.1 greylisted"), CSmtpScript::Accepting()});
  m_host.m_stopLevel = [this] {
    return !m_host.m_progress.empty() && m_host.m_progress.back().m_nRetryWaiting > 0 ? StopAfterMessage
                                                                                      : StopNone;
  };
  Run(true, server.Port());
  EXPECT_TRUE(m_run.Stopped());
  EXPECT_EQ(server.SessionCount(), 1);
  EXPECT_EQ(m_clock.m_waited, std::chrono::seconds(0));
  const std::vector<RecordRow> rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].m_strResult, FromUtf8("暂时失败"));
  EXPECT_EQ(ReportStatus().find(FromUtf8("已停止, ")), 0u);
  EXPECT_EQ(m_host.m_progress.back().m_nRetryWaiting, 0);
}

// The exclusion file takes bare addresses and lines of the list's form.
TEST_F(KeepGoingRunTest, ExcludedAddressesAreNotSent) {
  Prepare({"a@x.cn;Bee<B@x.cn>", "c@x.cn"}, "exclude=ini/gone.txt\r\n");
  m_dir.WriteFile("ini/gone.txt", "b@X.cn\r\nSee<c@x.cn>;d@x.cn\r\n");
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  Run(true, server.Port());
  EXPECT_EQ(server.SessionCount(), 1);
  const std::vector<RecordRow> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].m_strResult, FromUtf8("已排除"));
  EXPECT_EQ(rows[0].m_strRecipient, "Bee<B@x.cn>");
  EXPECT_EQ(rows[1].m_strRecipient, "a@x.cn");
  EXPECT_EQ(rows[2].m_strResult, FromUtf8("已排除"));
  EXPECT_EQ(ReportStatus(), FromUtf8("成功"));

  // A named exclusion file that cannot be read sends nothing at all.
  std::filesystem::remove(m_dir.Path() / "ini/gone.txt");
  Run(true, server.Port());
  EXPECT_EQ(server.SessionCount(), 1);
  EXPECT_TRUE(m_run.Outcome().m_bFailed);
  EXPECT_EQ(ReportStatus(), FromUtf8("无法打开排除名单文件."));
}

// A server that cannot be reached ends the run at once when nothing got
// through yet; later on, it is one more temporary failure.
TEST_F(KeepGoingRunTest, UnreachableServerEndsTheRunOnlyBeforeAnyDelivery) {
  Prepare({"a@x.cn", "b@x.cn"}, "retry=0\r\n");
  Run(true, 0);
  EXPECT_TRUE(m_run.Outcome().m_bFailed);
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_EQ(ReportStatus().substr(0, FromUtf8("无法连接邮件服务器.").size()),
            FromUtf8("无法连接邮件服务器."));
}

// Sending again what did not arrive: only the temporary and unsent rows of
// the newest record, each once, never a refused one.
TEST_F(KeepGoingRunTest, RetryFailedSendsExactlyTheUndelivered) {
  Prepare({"a@x.cn"});
  m_dir.WriteFile("发送记录/20031201-000000.csv",
                  FromUtf8("时间,邮件文件,收件人,结果,服务器回复,尝试次数\r\n"
                           "t,m1,a@x.cn,已送达,250 ok,1\r\n"
                           "t,m1,bad@x.cn,被拒收,550 no,1\r\n"
                           "t,m1,\"Gr,ey<grey@x.cn>\",暂时失败,451 later,3\r\n"
                           "t,m1,late@x.cn,未发送,,0\r\n"
                           "t,gone,z@x.cn,未发送,,0\r\n"));
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  m_run.m_bRetryFailed = 1;
  Run(true, server.Port());
  ASSERT_EQ(server.SessionCount(), 2);
  EXPECT_NE(server.Received(0).find("RCPT TO: <grey@x.cn>"), std::string::npos);
  EXPECT_NE(server.Received(1).find("RCPT TO: <late@x.cn>"), std::string::npos);
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_EQ(m_run.Outcome().m_nDelivered, 2);
}

// A stopped keep-going run continued: the journal keeps what was dealt with
// and what still waited for a retry, so the continued run sends the rest and
// the waiting recipient, never the delivered or the refused one again.
TEST_F(KeepGoingRunTest, ResumeSendsNeitherDeliveredNorRefusedAgain) {
  Prepare({"a@x.cn", "grey@x.cn", "bad@x.cn", "c@x.cn", "d@x.cn"});
  CScriptedSmtpServer server({CSmtpScript::Accepting(), Refusing("451 4.7.1 greylisted"),
                              Refusing("550 5.1.1 no"), CSmtpScript::Accepting()});
  m_host.m_stopLevel = [&server] { return server.SessionCount() >= 3 ? StopAfterMessage : StopNone; };
  Run(true, server.Port());
  ASSERT_TRUE(m_run.Stopped());
  EXPECT_EQ(server.SessionCount(), 3);
  EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "ini/Send.Jnl"));
  const ResumePoint point = FindResumePoint(m_dir.Path(), m_host.m_source);
  EXPECT_EQ(point.m_state, ResumePoint::Same);
  EXPECT_EQ(point.m_nDone, 3);

  m_host.m_stopLevel = nullptr;
  m_run.m_bResume = 1;
  Run(true, server.Port());
  ASSERT_EQ(server.SessionCount(), 6);
  const char* sent[] = {"c@x.cn", "d@x.cn", "grey@x.cn"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(server.Received(3 + i).find(std::string("RCPT TO: <") + sent[i] + ">"), std::string::npos)
        << i;
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "ini/Send.Jnl"));
  EXPECT_EQ(m_run.Outcome().m_nDelivered, 3);
  EXPECT_EQ(m_run.Outcome().m_nUndelivered, 0);
}

}  // namespace
}  // namespace batchtest
