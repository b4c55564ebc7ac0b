// postwing-send killed (SIGKILL) at random moments of its runs, then taken up
// with --resume or afresh, many times: the resume journal stays readable,
// never counts a message the server did not take, and no message is lost or
// sent twice but the one in flight at a kill. The long run is in
// bench_fault_soak.
#include <gtest/gtest.h>

#include "support/journal_kill.h"

namespace {

// Under AddressSanitizer each start of the program takes several times as
// long: fewer kills keep the test's time in bounds.
#ifdef __SANITIZE_ADDRESS__
constexpr int kKills = 40;
#else
constexpr int kKills = 120;
#endif

TEST(PostwingSendKill, TheJournalLosesNoMessageAndRepeatsOnlyTheOneInFlight) {
  testsupport::JournalKillOptions options;
  options.m_nKills = kKills;
  options.m_strSenderProgram = POSTWING_BINARY_DIR "/src/tools/postwing-send";
  testsupport::JournalKillReport report;
  EXPECT_TRUE(testsupport::RunJournalKills(options, report, stdout));
  EXPECT_GE(report.m_nKills, options.m_nKills);
  // The kills landed inside runs: most left a run to continue.
  EXPECT_GT(report.m_nResumes, options.m_nKills / 4);
}

// The same in keep-going mode, a quarter of the recipients refused: a
// continued run asks the server again for neither a delivered nor a refused
// recipient, but the one in flight at a kill.
TEST(PostwingSendKill, KeepGoingNeverAsksAgainForDeliveredOrRefused) {
  testsupport::JournalKillOptions options;
  options.m_nKills = kKills / 2;
  options.m_bKeepGoing = true;
  options.m_strSenderProgram = POSTWING_BINARY_DIR "/src/tools/postwing-send";
  testsupport::JournalKillReport report;
  EXPECT_TRUE(testsupport::RunJournalKills(options, report, stdout));
  EXPECT_GE(report.m_nKills, options.m_nKills);
  EXPECT_GT(report.m_nResumes, options.m_nKills / 4);
}

// The same with three connections at once: messages taken out of order are
// marked by their place, so a continued run sends none of them again.
TEST(PostwingSendKill, SeveralConnectionsRepeatOnlyThoseInFlight) {
  testsupport::JournalKillOptions options;
  options.m_nKills = kKills / 2;
  options.m_nConnections = 3;
  options.m_strSenderProgram = POSTWING_BINARY_DIR "/src/tools/postwing-send";
  testsupport::JournalKillReport report;
  EXPECT_TRUE(testsupport::RunJournalKills(options, report, stdout));
  EXPECT_GE(report.m_nKills, options.m_nKills);
  EXPECT_GT(report.m_nResumes, options.m_nKills / 4);
  // The kills met journals with gaps: the marks by place were put to work.
  EXPECT_GT(report.m_nOutOfOrder, 0);
}

}  // namespace
