// postwing-send ended by TerminateProcess at random moments of its runs, then
// taken up with --resume or afresh (the kill harness of the POSIX test): the
// resume journal stays readable, never counts a message the server did not
// take, and no message is lost or sent twice but the one in flight at a
// kill. Fewer kills than on Linux: a start under Wine takes far longer.
#include <gtest/gtest.h>

#include <ostream>

#include "support/child_process_win32.h"
#include "support/journal_kill.h"

namespace {

constexpr int kKills = 20;

struct KillCase {
  const char* m_szName;
  bool m_bKeepGoing;
  int m_nKills;
};

const KillCase kCases[] = {
    {"StopOnError", false, kKills},
    // A quarter of the recipients refused: neither a delivered nor a refused
    // recipient is asked for again but the one in flight at a kill.
    {"KeepGoing", true, kKills / 2},
};

void PrintTo(const KillCase& c, std::ostream* out) { *out << c.m_szName; }

class PostwingSendKillWin32 : public ::testing::TestWithParam<KillCase> {};

TEST_P(PostwingSendKillWin32, TheJournalLosesNoMessageAndRepeatsOnlyTheOneInFlight) {
  testsupport::JournalKillOptions options;
  options.m_nKills = GetParam().m_nKills;
  options.m_bKeepGoing = GetParam().m_bKeepGoing;
  options.m_nAddressLines = 20;
  options.m_strSenderProgram = testsupport::SenderProgramPath().string();
  testsupport::JournalKillReport report;
  EXPECT_TRUE(testsupport::RunJournalKills(options, report, stdout));
  EXPECT_GE(report.m_nKills, options.m_nKills);
  // The kills landed inside runs: many left a run to continue.
  EXPECT_GT(report.m_nResumes, options.m_nKills / 4);
}

INSTANTIATE_TEST_SUITE_P(Modes, PostwingSendKillWin32, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<KillCase>& info) { return info.param.m_szName; });

}  // namespace
