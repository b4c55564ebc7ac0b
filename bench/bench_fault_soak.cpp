// bench_fault_soak: the long fault soak and the memory of a very long
// address list.
//
//   bench_fault_soak [sessions] [postwing-send sessions] [address lines] [journal kills]
//
// First the soak (by default 5,000 sessions through CBatchRun and 250 through
// postwing-send, 40 % of the runs over TLS) against the fault-injecting
// server, printing sessions, faults by kind, descriptors and memory at its start and end, and whether
// every invariant held. Then one batch run over an address list of
// 1,000,000 lines to the fast local sink, in a child process (this program
// again) so that its peak resident memory is its own; the last line reads
// "address_list_peak_rss_mib: M" (target: under 20). Last postwing-send
// killed at random moments (by default 1,000 times) and taken up again, with
// the resume journal checked after each kill. Exits with 1 on a breach.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "dispatch/batch_run.h"
#include "platform/dirs.h"
#include "support/fault_soak.h"
#include "support/journal_kill.h"
#include "support/smtp_sink.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

class CListHost : public CBatchHost {
 public:
  void ReloadMailSource() override {}
  CMailSource TakeMailSource() override {
    CMailSource source;
    source.m_strMailDir = "mail";
    source.m_strAddressFile = "list.txt";
    source.m_strSubject = "bench";
    return source;
  }
  CSmtpAccount TakeSmtpAccount() override {
    CSmtpAccount account;
    account.m_strServer = "127.0.0.1";
    account.m_strMail = "sender@example.com";
    return account;
  }
  CSoundSettings SoundSettings() override { return CSoundSettings(); }
  void ShowMessage(const std::string&) override {}
  void PlayCue(const std::string&) override {}
};

// The child: one run in `dir` to the sink on `port`; exit 0 when it sent to
// every line.
int ListChild(const char* dir, const char* port, long lines) {
  platform::SetWorkingDir(dir);
  CListHost host;
  CBatchRun run(host);
  run.SetSmtpPortForTests(static_cast<unsigned int>(std::atoi(port)));
  run.Run();
  std::printf("address list run: %ld sessions, error \"%s\"\n", static_cast<long>(run.m_nAddressCount),
              run.m_strError.c_str());
  return run.m_strError.empty() && run.m_nAddressCount == lines ? 0 : 1;
}

// One run over `lines` address lines; its peak resident memory in KiB, or -1.
long AddressListPeakKb(const char* self, long lines) {
  testsupport::CTempDir dir;
  dir.WriteFile("mail/notice.txt", "A short notice.\r\nSecond line.\r\n");
  {
    std::ofstream list(dir.Path() / "list.txt", std::ios::binary);
    for (long i = 0; i < lines; ++i) list << "user" << i << "@example.com\r\n";
  }
  benchsupport::CSmtpSink sink;
  if (!sink.Ok()) return -1;
  const std::string port = std::to_string(sink.Port());
  const std::string count = std::to_string(lines);
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl(self, self, "--list-child", dir.Path().c_str(), port.c_str(), count.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("address list: %ld lines, %llu messages at the sink, %.1f s (%.0f sessions/s)\n", lines,
              static_cast<unsigned long long>(sink.Messages()), seconds, lines / seconds);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--list-child") == 0) return ListChild(argv[2], argv[3], std::atol(argv[4]));
  testsupport::SoakOptions options;
  options.m_nSessions = argc > 1 ? std::atoi(argv[1]) : 5000;
  options.m_nSenderSessions = argc > 2 ? std::atoi(argv[2]) : 250;
  const long lines = argc > 3 ? std::atol(argv[3]) : 1000000;
  options.m_strSenderProgram = POSTWING_SENDER;
  options.m_strCertScript = POSTWING_SOURCE_DIR "/tests/smtp/make_test_certs.sh";
  testsupport::SoakReport report;
  const bool held = testsupport::RunFaultSoak(options, report, stdout);
  std::printf("soak_sessions_per_s: %.1f\n", (report.m_nSessions + report.m_nSenderSessions) / report.m_dSeconds);

  const long peakKb = lines > 0 ? AddressListPeakKb(argv[0], lines) : 0;
  if (peakKb < 0) {
    std::printf("address list run failed\n");
    return 1;
  }
  std::printf("address_list_peak_rss_mib: %.1f\n", peakKb / 1024.0);

  testsupport::JournalKillOptions kills;
  kills.m_nKills = argc > 4 ? std::atoi(argv[4]) : 1000;
  kills.m_strSenderProgram = POSTWING_SENDER;
  testsupport::JournalKillReport killReport;
  const bool journalHeld = kills.m_nKills <= 0 || testsupport::RunJournalKills(kills, killReport, stdout);

  // Keep-going mode: the soak with the record, then the kills.
  testsupport::SoakOptions keepGoing = options;
  keepGoing.m_nSessions = options.m_nSessions / 2;
  testsupport::KeepGoingSoakReport keepGoingReport;
  const bool keepGoingHeld = keepGoing.m_nSessions <= 0 ||
                             testsupport::RunKeepGoingSoak(keepGoing, keepGoingReport, stdout);
  kills.m_bKeepGoing = true;
  kills.m_nKills /= 2;
  testsupport::JournalKillReport keepGoingKills;
  const bool keepGoingJournalHeld =
      kills.m_nKills <= 0 || testsupport::RunJournalKills(kills, keepGoingKills, stdout);
  return held && journalHeld && keepGoingHeld && keepGoingJournalHeld ? 0 : 1;
}
