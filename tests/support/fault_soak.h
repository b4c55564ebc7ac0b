// The fault soak: batch runs through CBatchRun (and through the postwing-send
// program) against CFaultSmtpServer until a number of sessions is reached,
// then invariants checked against the server's record of every run: no hang,
// every message the server took arrived whole and once, the run's counts and
// its report line agree with the server, the working directory is restored,
// and descriptors do not leak. Shared by the soak test (a short soak) and the
// soak benchmark (a long one).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/fault_smtp_server.h"

namespace testsupport {

struct SoakOptions {
  int m_nSessions = 300;          // sessions through CBatchRun in this process, at least
  int m_nSenderSessions = 20;     // sessions through postwing-send, at least (0: none)
  std::string m_strSenderProgram;  // the postwing-send program
  std::uint64_t m_nSeed = 15;
  double m_dFaultRate = 0.3;
  int m_nReplyMs = 700;           // the client's wait for each reply (stalls last past it)
  int m_nMaxAddressLines = 8;     // each run has 1 to this many address lines
  // Share of runs that speak TLS (half of them after STARTTLS, half from the
  // first byte), and the script that makes the test certificates for them
  // (tests/smtp/make_test_certs.sh; "" for plain runs only).
  double m_dTlsShare = 0.4;
  std::string m_strCertScript;
};

struct SoakReport {
  int m_nRuns = 0;
  int m_nSessions = 0;
  int m_nSenderRuns = 0;
  int m_nSenderSessions = 0;
  int m_nFaults[kSmtpFaultKinds] = {};      // injected, by kind
  int m_nFaultSteps[kSmtpSteps] = {};       // injected, by step
  int m_nCommitted = 0;                     // messages the server took
  int m_nCommittedThenFailed = 0;           // ... in a session the client saw fail (a late fault)
  int m_nFailedRuns = 0;
  int m_nTlsSessions[3] = {};               // sessions by opening (plain, STARTTLS, TLS)
  int m_nTlsHandshakes = 0;                 // TLS handshakes that completed
  int m_nTlsFaults[3] = {};                 // handshake faults injected, by opening
  int m_nTlsFaultFailures = 0;              // handshake faults the client reported as "安全连接失败: ..."
  int m_nTlsFaultTimeouts = 0;              // ... of them, as its time-out
  long m_nFdsStart = 0, m_nFdsEnd = 0;
  long m_nRssStartKb = 0, m_nRssEndKb = 0, m_nPeakRssKb = 0;
  double m_dSeconds = 0;
  std::vector<std::string> m_breaches;
};

// Runs the soak in a scratch folder (the working directory is restored) and
// prints its figures and invariants to `out`. True when no invariant broke.
bool RunFaultSoak(const SoakOptions& options, SoakReport& report, std::FILE* out);

// The soak in keep-going mode: runs through CBatchRun with "onerror"=1 (on a
// clock that does not wait) against the misbehaving server. Every recipient
// ends with exactly one record row, the counts and the report line agree with
// the record, a delivered row was taken by the server, and nothing is taken
// twice but after a session cut after its final dot, whose row says so.
struct KeepGoingSoakReport {
  int m_nRuns = 0;
  int m_nSessions = 0;
  int m_nRows = 0;
  int m_nDelivered = 0;
  int m_nUndelivered = 0;
  int m_nEndedRuns = 0;         // ended on a failure (the account or server unusable)
  int m_nRetried = 0;           // rows with more than one attempt
  int m_nUncertainRepeats = 0;  // taken twice after a cut past the dot, as the row says
  double m_dSeconds = 0;
  std::vector<std::string> m_breaches;
};
bool RunKeepGoingSoak(const SoakOptions& options, KeepGoingSoakReport& report, std::FILE* out);

// Open descriptors of this process, and its resident and peak resident memory.
long OpenDescriptorCount();
long ResidentKb(const char* field = "VmRSS:");

}  // namespace testsupport
