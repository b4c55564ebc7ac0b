// The resume journal under SIGKILL (TerminateProcess on Windows): postwing-send
// is killed at random moments of its runs, again and again, and each time the
// run is taken up as a user
// would take it up (continued with --resume while the journal holds a run to
// continue, else started afresh) until one ends. The server's record is
// compared with the journal after every kill and with the address list at
// the end of each list: the journal stays readable and never counts a
// message the server did not take, no message is lost, and none is sent
// twice but the one in flight at a kill; the report is the old file or the
// old one with one whole new line. Shared by the kill tests (short runs, on
// Linux and under Wine) and the soak benchmark (a long one).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

struct JournalKillOptions {
  int m_nKills = 100;              // kills, at least
  int m_nAddressLines = 40;        // messages per list
  std::string m_strSenderProgram;  // the postwing-send program
  std::uint64_t m_nSeed = 15;
  // Keep-going runs ("onerror"=1, no retries) with every fourth recipient
  // refused by the server: neither a delivered nor a refused recipient is
  // asked for again but the one in flight at a kill.
  bool m_bKeepGoing = false;
  // Connections at once (plain EHLO, one message each): the server takes
  // messages out of the list's order, and up to this many are in flight at
  // a kill.
  int m_nConnections = 1;
};

struct JournalKillReport {
  int m_nLists = 0;        // lists sent to the end
  int m_nInvocations = 0;  // postwing-send runs
  int m_nKills = 0;
  int m_nResumes = 0;
  int m_nFreshRestarts = 0;
  int m_nKilledAfterJournal = 0;  // killed between removing the journal and writing the report line  // runs started afresh after a kill (no journal, nothing to continue)
  int m_nMessages = 0;       // messages the lists asked for
  int m_nTaken = 0;          // messages the server took
  int m_nInFlightResent = 0;  // taken again: the message in flight at a kill
  int m_nOutOfOrder = 0;      // journals left with messages marked beyond a gap
  long m_nFullRunUs = 0;      // one unkilled run
  double m_dSeconds = 0;
  std::vector<std::string> m_breaches;
};

// Runs the kills in a scratch folder and prints the figures to `out`. True
// when no invariant broke.
bool RunJournalKills(const JournalKillOptions& options, JournalKillReport& report, std::FILE* out);

}  // namespace testsupport
