// Runs over three connections at once, stopped part-way and continued, in
// both kinds of run, against a server that serves its connections at once:
// the journal marks exactly the messages the server took (whatever their
// order), the record has one row per recipient, and the continued run sends
// each remaining message once.
#include <map>
#include <string>
#include <vector>

#include "batch_run_fixture.h"
#include "dispatch/run_journal.h"
#include "dispatch/send_record_reader.h"
#include "platform/journal_file.h"
#include "support/fault_smtp_server.h"

namespace batchtest {
namespace {

using testsupport::CFaultSmtpServer;
using testsupport::FaultPlan;
using testsupport::ServedSession;

constexpr int kAddresses = 30;
constexpr int kStopAfter = 8;  // messages dealt with before the stop is asked
const char kRefused[] = "bad-";

struct StopCase {
  const char* m_szName;
  bool m_bKeepGoing;
};

class ParallelRunTest : public BatchRunTest, public ::testing::WithParamInterface<StopCase> {
 protected:
  std::string Address(int i) const {
    const std::string address = "p" + std::to_string(i) + "@example.com";
    return GetParam().m_bKeepGoing && i % 5 == 3 ? kRefused + address : address;
  }

  // How often the server took (or, keep-going, refused) each address.
  static void Count(CFaultSmtpServer& server, std::map<std::string, int>& taken) {
    std::vector<ServedSession> served;
    ASSERT_TRUE(server.TakeSessions(served));
    for (const ServedSession& session : served) {
      if (session.m_bCommitted) {
        for (const std::string& address : session.m_recipients) ++taken[address];
      }
      for (const std::string& address : session.m_refused) ++taken[address];
    }
  }
};

TEST_P(ParallelRunTest, StopThenResumeSendsEachMessageOnce) {
  const bool keepGoing = GetParam().m_bKeepGoing;
  FaultPlan plan;
  plan.m_dRate = 0;
  plan.m_bConcurrent = true;
  plan.m_strRefusedPrefix = kRefused;
  CFaultSmtpServer server(plan);
  ASSERT_TRUE(server.Listening());
  m_dir.WriteFile("mail/m1", "hello\n");
  std::string list;
  for (int i = 0; i < kAddresses; ++i) list += Address(i) + "\r\n";
  m_dir.WriteFile("list.txt", list);
  m_dir.WriteFile("运行报告.txt", "");
  m_dir.WriteFile("ini/Stmp.Ini",
                  "[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\nemstp=0\r\n"
                  "security=3\r\nreuse=1\r\nconnections=3\r\n[maildir]\r\nmaildir=mail\r\n"
                  "address=list.txt\r\nmailsubject=s\r\n" +
                      std::string(keepGoing ? "onerror=1\r\nretry=0\r\n" : ""));
  m_host.m_stopLevel = [this] {
    return !m_host.m_progress.empty() && m_host.m_progress.back().m_nDone >= kStopAfter
               ? StopAfterMessage
               : StopNone;
  };
  Run(false, server.Port());
  EXPECT_TRUE(m_run.Stopped());
  std::map<std::string, int> taken;
  Count(server, taken);

  // The journal marks exactly what the server took: the messages still on
  // other connections when the stop came ended first and count.
  std::string text;
  RunInputs inputs;
  std::int64_t done = 0;
  JournalCount marked;
  ASSERT_TRUE(platform::ReadWholeFile(JournalPath(m_dir.Path()), text));
  ASSERT_TRUE(ParseJournal(text, inputs, done, nullptr, &marked));
  int takenCount = 0;
  for (int i = 0; i < kAddresses; ++i) {
    EXPECT_EQ(marked.Contains(i), taken[Address(i)] == 1) << i << " " << taken[Address(i)];
    takenCount += taken[Address(i)];
  }
  EXPECT_GE(takenCount, kStopAfter);
  EXPECT_LT(takenCount, kAddresses);
  EXPECT_EQ(done, takenCount);
  if (keepGoing) {
    // One row per recipient: what the server said, or not sent.
    std::vector<RecordRow> rows;
    // The test clock's run (UTC 2003-12-31 23:30, UTC+8 here).
    ASSERT_TRUE(ReadSendRecord(
        m_dir.Path() / std::filesystem::u8path("发送记录") / "20040101-073000.csv", rows));
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kAddresses));
    std::map<std::string, RecipientResult> results;
    for (const RecordRow& row : rows) results[row.m_strRecipient] = row.m_result;
    for (int i = 0; i < kAddresses; ++i) {
      const RecipientResult expected =
          taken[Address(i)] == 0
              ? RecipientResult::NotSent
              : (i % 5 == 3 ? RecipientResult::Refused : RecipientResult::Delivered);
      EXPECT_EQ(results[Address(i)], expected) << i;
    }
  }

  m_host.m_stopLevel = nullptr;
  m_run.m_bResume = 1;
  Run(false, server.Port());
  EXPECT_FALSE(m_run.Stopped());
  Count(server, taken);
  for (int i = 0; i < kAddresses; ++i) EXPECT_EQ(taken[Address(i)], 1) << i;
  EXPECT_FALSE(std::filesystem::exists(JournalPath(m_dir.Path())));
}

INSTANTIATE_TEST_SUITE_P(Cases, ParallelRunTest,
                         ::testing::Values(StopCase{"StopAtFirstFailure", false},
                                           StopCase{"KeepGoing", true}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return info.param.m_szName;
                         });

}  // namespace
}  // namespace batchtest
