// A short fault soak: a few hundred sessions through CBatchRun and a few
// dozen through postwing-send against a server that closes, resets, stalls,
// answers garbage, oversized or split replies and refuses at random steps,
// and in the runs that speak TLS (after STARTTLS or from the first byte)
// cuts, stalls or spoils the handshake. The long soak is bench_fault_soak.
#include <gtest/gtest.h>

#include "support/fault_soak.h"

namespace {

using testsupport::SmtpFault;

TEST(FaultSoak, EveryInvariantHoldsUnderInjectedFaults) {
  testsupport::SoakOptions options;
  options.m_nSessions = 300;
  options.m_nSenderSessions = 30;
  options.m_strSenderProgram = POSTWING_BINARY_DIR "/src/tools/postwing-send";
  options.m_strCertScript = POSTWING_SOURCE_DIR "/tests/smtp/make_test_certs.sh";
  testsupport::SoakReport report;
  EXPECT_TRUE(testsupport::RunFaultSoak(options, report, stdout));
  EXPECT_GE(report.m_nSessions, options.m_nSessions);
  EXPECT_GE(report.m_nSenderSessions, options.m_nSenderSessions);
  // The soak proves something only if the server did misbehave, in every way.
  for (int kind = 1; kind < testsupport::kSmtpFaultKinds; ++kind) {
    EXPECT_GT(report.m_nFaults[kind], 0) << testsupport::SmtpFaultName(static_cast<SmtpFault>(kind));
  }
  EXPECT_GT(report.m_nTlsFaults[static_cast<int>(testsupport::SmtpOpening::StartTls)], 0);
  EXPECT_GT(report.m_nTlsFaults[static_cast<int>(testsupport::SmtpOpening::Tls)], 0);
  EXPECT_GT(report.m_nTlsFaultTimeouts, 0);  // the handshake's stall ended by the client's wait
  EXPECT_GT(report.m_nFailedRuns, 0);
  EXPECT_LT(report.m_nFailedRuns, report.m_nRuns + report.m_nSenderRuns);
}

}  // namespace

namespace {

TEST(FaultSoak, KeepGoingRecordsEveryRecipientOnce) {
  testsupport::SoakOptions options;
  options.m_nSessions = 200;
  testsupport::KeepGoingSoakReport report;
  EXPECT_TRUE(testsupport::RunKeepGoingSoak(options, report, stdout));
  EXPECT_GE(report.m_nSessions, options.m_nSessions);
  // The soak proves something only if recipients failed and were tried again.
  EXPECT_GT(report.m_nRetried, 0);
  EXPECT_GT(report.m_nUndelivered, 0);
}

}  // namespace
