// Progress, stop, pace and continuing a run, against the scripted server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/batch_run.h"
#include "dispatch/batch_run_fixture.h"
#include "dispatch/run_journal.h"
#include "platform/net.h"
#include "settings/profile_file.h"
#include "platform/journal_file.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace {

using batchtest::BatchRunTest;
using platform::FromUtf8;
using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;
using Clock = std::chrono::steady_clock;

// Far below the session's own 5-minute waits: a run that takes longer hangs.
constexpr auto kNoHang = std::chrono::seconds(30);

// The recipient and first body line of one session, as "address|text".
std::string Delivery(const std::string& session) {
  const std::string rcpt = "RCPT TO: <";
  const std::size_t at = session.find(rcpt);
  if (at == std::string::npos) return "";
  const std::string address = session.substr(at + rcpt.size(), session.find('>', at) - at - rcpt.size());
  const std::size_t body = session.find("\r\n\r\n", session.find("X-Mailer"));
  if (body == std::string::npos) return address + "|";
  const std::size_t text = body + 4;
  return address + "|" + session.substr(text, session.find("\r\n", text) - text);
}

class RunControlTest : public BatchRunTest {
 protected:
  // `files` mail files "f<i>" holding "file <i>", `addresses` addresses.
  void WriteInputs(int files, int addresses) {
    for (int i = 1; i <= files; ++i) {
      m_dir.WriteFile("mail/f" + std::to_string(i), "file " + std::to_string(i) + "\r\n");
    }
    std::string list;
    for (int i = 1; i <= addresses; ++i) list += "a" + std::to_string(i) + "@example.com\r\n\r\n";
    m_dir.WriteFile("list.txt", list);
    m_dir.WriteFile("运行报告.txt", "");
    WriteSettings("mail", "list.txt");
  }

  // Every delivery in the order the run makes them, from the mail order.
  std::vector<std::string> Expected(int addresses) const {
    std::vector<std::string> all;
    for (const std::string& file : MailOrder("mail")) {
      for (int a = 1; a <= addresses; ++a) {
        all.push_back("a" + std::to_string(a) + "@example.com|file " + file.substr(1));
      }
    }
    return all;
  }

  static std::vector<std::string> Deliveries(const CScriptedSmtpServer& server, int from = 0) {
    std::vector<std::string> all;
    for (int i = from; i < server.SessionCount(); ++i) all.push_back(Delivery(server.Received(i)));
    return all;
  }
};

TEST_F(RunControlTest, ProgressCountsEveryMessageBeforeTheFirstAndAsTheyAreAccepted) {
  WriteInputs(2, 3);
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  Run(true, server.Port());
  ASSERT_EQ(m_run.m_strError, "");
  // After counting, then a start and an acceptance per message.
  ASSERT_EQ(m_host.m_progress.size(), 1u + 2 * 6);
  for (std::size_t i = 0; i < m_host.m_progress.size(); ++i) {
    const RunProgress& p = m_host.m_progress[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(p.m_nTotal, 6);
    EXPECT_EQ(p.m_nDone, static_cast<std::int64_t>(i / 2));
    EXPECT_EQ(p.m_nSentThisRun, p.m_nDone);
    EXPECT_EQ(p.m_bSending, i % 2 == 1);
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "ini/Send.Jnl"));
}

TEST_F(RunControlTest, StopEndsAfterTheMessageInProgressWithItsOwnReportLine) {
  WriteInputs(2, 2);
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  // Asked once the second message is in progress: it still goes out.
  m_host.m_stopLevel = [this] {
    const RunProgress& p = m_host.m_progress.back();
    return p.m_nDone + (p.m_bSending ? 1 : 0) >= 2 ? StopAfterMessage : StopNone;
  };
  Run(true, server.Port());
  EXPECT_TRUE(m_run.Stopped());
  const std::vector<std::string> all = Expected(2);
  EXPECT_EQ(Deliveries(server), std::vector<std::string>(all.begin(), all.begin() + 2));
  EXPECT_EQ(m_run.m_nMailCount, 1);
  EXPECT_EQ(m_run.m_nAddressCount, 2);
  EXPECT_EQ(m_host.m_events, (std::vector<std::string>{Cue("begin.wav"), "reload", Cue("err.wav"),
                                                       "box:" + FromUtf8("发送已停止.")}));
  EXPECT_EQ(m_dir.ReadFile("运行报告.txt"), "\r\n2004- 1- 1 ,  7:30 , 1 , 2 , " + FromUtf8("已停止"));
  const ResumePoint point = FindResumePoint(m_dir.Path(), m_host.m_source);
  EXPECT_EQ(point.m_state, ResumePoint::Same);
  EXPECT_EQ(point.m_nDone, 2);
}

// A server that stops answering: after the greeting, or after the message.
struct SilentCase {
  const char* name;
  CSmtpScript script;
  int level;
  bool quitSent;
};

class SilentServerTest : public RunControlTest,
                         public ::testing::WithParamInterface<int> {};

TEST_P(SilentServerTest, StopDoesNotWaitForASilentServer) {
  const std::vector<SilentCase> cases = {
      {"silent from the start", CSmtpScript(), StopAfterMessage, false},
      {"silent after the message",
       CSmtpScript::Replies({"220 test", "250 hello", "250 sender", "250 rcpt", "354 go"}).Await(),
       StopAfterMessage, true},
      {"second request", CSmtpScript::Replies({"220 test", "250 hello", "250 sender", "250 rcpt", "354 go"}).Await(),
       StopAtOnce, true},
  };
  const SilentCase& c = cases[static_cast<std::size_t>(GetParam())];
  SCOPED_TRACE(c.name);
  WriteInputs(1, 2);
  CScriptedSmtpServer server(c.script);
  // The request comes while the socket waits, as a click or a signal would.
  bool waiting = false;
  platform::SetNetWaitHook([&] { waiting = true; });
  m_host.m_stopLevel = [&] { return waiting ? c.level : StopNone; };
  const auto start = Clock::now();
  Run(true, server.Port());
  const auto took = Clock::now() - start;
  platform::SetNetWaitHook(nullptr);
  EXPECT_LT(took, kNoHang);
  EXPECT_TRUE(m_run.Stopped());
  EXPECT_EQ(m_run.m_strError, FromUtf8("已停止"));
  EXPECT_EQ(m_run.m_nAddressCount, 1);
  EXPECT_EQ(server.SessionCount(), 1);
  const std::string received = server.Received(0);
  EXPECT_EQ(received.find("QUIT\r\n") != std::string::npos, c.quitSent) << received;
}

INSTANTIATE_TEST_SUITE_P(Cases, SilentServerTest, ::testing::Values(0, 1, 2));

TEST_F(RunControlTest, RateSpacesMessagesAndKeepsTheWaitHookRunning) {
  WriteInputs(1, 4);
  CProfileFile settings = SettingsFile();
  settings.WriteInt("maildir", "rate", 120);
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  int hookCalls = 0;
  platform::SetNetWaitHook([&] { ++hookCalls; });
  Run(true, server.Port());
  platform::SetNetWaitHook(nullptr);
  ASSERT_EQ(m_run.m_strError, "");
  ASSERT_EQ(server.SessionCount(), 4);
  // 60 s / 120 between the client's starts. The server notes an arrival when
  // its thread gets to run, which on a busy machine (or under the sanitizers)
  // can be late by tens of milliseconds for one session and not the next:
  // each gap may lose that much, the whole span only at its two ends.
  for (int i = 1; i < 4; ++i) {
    const auto gap = server.SessionStart(i) - server.SessionStart(i - 1);
    EXPECT_GE(gap, std::chrono::milliseconds(400)) << "gap " << i;
  }
  EXPECT_GE(server.SessionStart(3) - server.SessionStart(0), std::chrono::milliseconds(1400));
  // Three pauses of about 500 ms in slices of 50 ms.
  EXPECT_GE(hookCalls, 3 * 5);
}

TEST_F(RunControlTest, StopDuringAPauseEndsAtOnce) {
  WriteInputs(1, 3);
  CProfileFile settings = SettingsFile();
  settings.WriteInt("maildir", "rate", 1);  // a minute between messages
  CScriptedSmtpServer server(CSmtpScript::Accepting());
  m_host.m_stopLevel = [this] {
    return m_host.m_progress.back().m_nDone >= 1 ? StopAfterMessage : StopNone;
  };
  const auto start = Clock::now();
  Run(true, server.Port());
  EXPECT_LT(Clock::now() - start, kNoHang);
  EXPECT_TRUE(m_run.Stopped());
  EXPECT_EQ(server.SessionCount(), 1);
  EXPECT_EQ(m_run.m_nAddressCount, 1);
}

TEST_F(RunControlTest, ResumeAfterAFailureSendsExactlyWhatWasNotAccepted) {
  WriteInputs(3, 3);
  const CSmtpScript accepting = CSmtpScript::Accepting();
  // The fifth session (second file, second address) refuses the sender.
  {
    CScriptedSmtpServer server(
        {accepting, accepting, accepting, accepting,
         CSmtpScript::Replies({"220 test", "250 hello", "550 no", "221 bye"})});
    Run(true, server.Port());
    EXPECT_EQ(m_run.m_strError, "550:SMTP server error");
    EXPECT_FALSE(m_run.Stopped());
  }
  ResumePoint point = FindResumePoint(m_dir.Path(), m_host.m_source);
  ASSERT_EQ(point.m_state, ResumePoint::Same);
  EXPECT_EQ(point.m_nDone, 4);
  EXPECT_EQ(point.m_nTotal, 9);

  CScriptedSmtpServer server(accepting);
  m_host.m_progress.clear();
  m_run.m_bResume = 1;
  Run(true, server.Port());
  EXPECT_EQ(m_run.m_strError, "");
  const std::vector<std::string> all = Expected(3);
  EXPECT_EQ(Deliveries(server), std::vector<std::string>(all.begin() + 4, all.end()));
  // The report counts what this run sent: two files, the last one whole.
  EXPECT_EQ(m_run.m_nMailCount, 2);
  EXPECT_EQ(m_run.m_nAddressCount, 3);
  EXPECT_EQ(m_host.m_progress.front().m_nDone, 4);
  EXPECT_EQ(m_host.m_progress.back().m_nSentThisRun, 5);
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "ini/Send.Jnl"));
  point = FindResumePoint(m_dir.Path(), m_host.m_source);
  EXPECT_EQ(point.m_state, ResumePoint::None);
}

TEST_F(RunControlTest, ChangedInputsRefuseToResumeAndKeepTheJournal) {
  WriteInputs(2, 2);
  const CSmtpScript accepting = CSmtpScript::Accepting();
  {
    CScriptedSmtpServer server(
        {accepting, CSmtpScript::Replies({"220 test", "250 hello", "550 no", "221 bye"})});
    Run(true, server.Port());
  }
  ASSERT_EQ(FindResumePoint(m_dir.Path(), m_host.m_source).m_state, ResumePoint::Same);
  m_dir.WriteFile("mail/f3", "file 3\r\n");

  EXPECT_EQ(FindResumePoint(m_dir.Path(), m_host.m_source).m_state, ResumePoint::Changed);
  CScriptedSmtpServer server(accepting);
  m_host.m_events.clear();
  m_run.m_bResume = 1;
  Run(true, server.Port());
  EXPECT_EQ(server.SessionCount(), 0);
  const std::string refused = FromUtf8("邮件目录、邮件地址列表或邮件主题已改变, 无法从中断处继续.");
  EXPECT_EQ(m_run.m_strError, refused);
  EXPECT_EQ(m_host.m_events.back(), "box:" + FromUtf8("邮件发送错误!\n") + refused);
  EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "ini/Send.Jnl"));

  // Without a journal there is nothing to continue; a new start replaces it.
  m_run.m_bResume = 0;
  Run(true, server.Port());
  EXPECT_EQ(m_run.m_strError, "");
  m_run.m_bResume = 1;
  Run(true, server.Port());
  EXPECT_EQ(m_run.m_strError, FromUtf8("没有中断的发送可以继续."));
}

TEST(RunJournal, HeaderRoundTripsAndOnlyWholeMarksCount) {
  RunInputs inputs;
  inputs.m_strMailDir = FromUtf8("邮件 目录%");
  inputs.m_strAddressFile = "list with\nnewline";
  inputs.m_strSubject = "";
  inputs.m_address = {123, -5};
  inputs.m_files = {{"a b", {1, 2}}, {std::string("\x01\xff", 2), {0, 99}}};
  inputs.m_nTotal = 4;
  const std::string header = FormatJournalHeader(inputs);
  // The tail, the messages it marks (prefix, then those beyond it).
  struct Case {
    std::string m_strTail;
    std::int64_t m_nPrefix;
    std::set<std::int64_t> m_ahead;
  };
  const std::vector<Case> cases = {
      {"", 0, {}},
      {"...", 3, {}},
      {std::string("..\0\0\0", 5), 2, {}},  // grown but not written when the machine stopped
      {"..x.", 2, {}},
      // Taken ahead of earlier ones on other connections, then the gap filled.
      {"+ 2\n+ 4\n", 0, {2, 4}},
      {"+ 2\n+ 1\n.", 3, {}},
      {".+ 3\n.", 2, {3}},
      {".+ 3\n..", 4, {}},
      {"+ 1\n+ 1\n", 0, {1}},
      {"+ 2\n+ 5", 0, {2}},      // a line cut short counts for nothing
      {"+ 2\n+ x\n.", 0, {2}},  // nor does a torn one, nor anything after it
      {"+ 2\n+ -1\n", 0, {2}},
      {"+ 2\n+ 2.+ 30\n", 0, {2}},  // "+ 25" cut short, run into by a later mark
      {"+ 2\n+ 25 \n", 0, {2}},
  };
  for (const Case& c : cases) {
    RunInputs read;
    std::int64_t done = -1;
    JournalCount count;
    EXPECT_TRUE(ParseJournal(header + c.m_strTail, read, done, nullptr, &count)) << c.m_strTail;
    EXPECT_EQ(read, inputs);
    EXPECT_EQ(count.m_nPrefix, c.m_nPrefix) << c.m_strTail;
    EXPECT_EQ(count.m_ahead, c.m_ahead) << c.m_strTail;
    EXPECT_EQ(done, count.Accepted());
  }
  // A header cut short anywhere is no journal: never trusted for a count.
  for (std::size_t cut = 0; cut < header.size(); ++cut) {
    RunInputs read;
    std::int64_t done = 0;
    EXPECT_FALSE(ParseJournal(header.substr(0, cut), read, done)) << cut;
  }
}

// What a run with several connections writes as its messages are taken in
// any order reads back as exactly those messages, whenever it is cut off
// (in the middle of a mark too), and a continued journal goes on from what
// it read.
TEST(RunJournal, MessagesTakenInAnyOrderReadBackExactly) {
  testsupport::CTempDir dir;
  const std::filesystem::path path = dir.Path() / "Send.Jnl";
  RunInputs inputs;
  inputs.m_nTotal = 12;
  const std::vector<std::int64_t> order = {1, 0, 4, 2, 3, 7, 5, 9, 6, 8, 11, 10};
  for (std::size_t cut = 0; cut <= order.size(); ++cut) {
    CRunJournal journal;
    ASSERT_TRUE(journal.Begin(path, inputs));
    const std::size_t half = cut / 2;
    for (std::size_t i = 0; i < half; ++i) journal.Accepted(order[i]);
    journal.Close();
    // The machine stopped in the middle of writing a mark.
    std::ofstream(path, std::ios::binary | std::ios::app) << "+ 1";
    std::string text;
    RunInputs read;
    std::int64_t done = 0;
    JournalCount count;
    ASSERT_TRUE(platform::ReadWholeFile(path, text));
    ASSERT_TRUE(ParseJournal(text, read, done, nullptr, &count));
    // Continued, with one message noted twice (it must not count twice).
    CRunJournal continued;
    ASSERT_TRUE(continued.Continue(path, read, count, {}));
    for (std::size_t i = half; i < cut; ++i) continued.Accepted(order[i]);
    if (cut > 0) continued.Note({}, {}, order[cut - 1]);
    continued.Close();
    ASSERT_TRUE(platform::ReadWholeFile(path, text));
    ASSERT_TRUE(ParseJournal(text, read, done, nullptr, &count));
    EXPECT_EQ(done, static_cast<std::int64_t>(cut)) << cut;
    for (std::int64_t m = 0; m < inputs.m_nTotal; ++m) {
      const bool taken = std::find(order.begin(), order.begin() + static_cast<long>(cut), m) !=
                         order.begin() + static_cast<long>(cut);
      EXPECT_EQ(count.Contains(m), taken) << cut << " " << m;
    }
  }
}

}  // namespace
