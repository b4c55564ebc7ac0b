#include "support/fault_soak.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "dispatch/batch_run.h"
#include "dispatch/footer.h"
#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "smtp/smtp_session.h"
#include "support/fault_soak_parts.h"
#include "support/temp_dir.h"

namespace testsupport {
namespace {

using namespace soakparts;
using platform::FromUtf8;

class CChecker {
 public:
  CChecker(SoakReport& report, std::uint64_t bodyDigest) : m_report(report), m_nBody(bodyDigest) {}

  // Compares one run's claim with the server's record of the run.
  void Check(const std::string& name, const RunClaim& claim, const std::vector<ServedSession>& served) {
    auto breach = [&](const std::string& what) { m_report.m_breaches.push_back(name + ": " + what); };
    if (static_cast<int>(served.size()) != claim.m_nSessions) {
      breach("the run reports " + std::to_string(claim.m_nSessions) + " sessions, the server saw " +
             std::to_string(served.size()));
    }
    ReportFields fields;
    if (!SplitReportLine(claim.m_strReportLine, fields) ||
        TrimWhiteSpace(fields.m_strMailCount) != "1" ||
        TrimWhiteSpace(fields.m_strAddressCount) != std::to_string(claim.m_nSessions)) {
      breach("report line \"" + claim.m_strReportLine + "\" does not give 1 mail and " +
             std::to_string(claim.m_nSessions) + " addresses");
    }
    const std::string status = TrimWhiteSpace(fields.m_strStatus);
    const std::string tlsFailed = FromUtf8("安全连接失败: ");
    if ((status == FromUtf8("成功")) != claim.m_bSucceeded ||
        (!claim.m_bSucceeded && !claim.m_strError.empty() && status != TrimWhiteSpace(claim.m_strError))) {
      breach("report status \"" + status + "\" disagrees with the run's outcome");
    }
    if (claim.m_bSucceeded && claim.m_nSessions != claim.m_nAddressLines) {
      breach("a successful run skipped address lines");
    }
    std::set<std::string> taken;
    for (std::size_t i = 0; i < served.size(); ++i) {
      const ServedSession& s = served[i];
      const std::string at = "session " + std::to_string(i) + " (" + SmtpFaultName(s.m_fault) + " at " +
                             SmtpStepName(s.m_step) + (s.m_bInjected ? "" : ", not reached") + ")";
      const bool clientOk = claim.m_bSucceeded || i + 1 < served.size();
      if (s.m_bInjected) {
        ++m_report.m_nFaults[static_cast<int>(s.m_fault)];
        ++m_report.m_nFaultSteps[static_cast<int>(s.m_step)];
      }
      if (s.m_bServerGaveUp) breach(at + ": the client went silent");
      ++m_report.m_nTlsSessions[static_cast<int>(s.m_opening)];
      m_report.m_nTlsHandshakes += s.m_bTlsDone;
      if (s.m_opening != claim.m_opening) breach(at + ": the server spoke another opening than the run");
      if (IsTlsFault(s.m_fault) && s.m_bInjected) {
        ++m_report.m_nTlsFaults[static_cast<int>(s.m_opening)];
        // A spoiled handshake fails the session with the TLS failure's
        // message, and nothing goes over it.
        if (clientOk) breach(at + ": the run went on as if the handshake had succeeded");
        if (s.m_bTlsDone || !s.m_recipients.empty()) breach(at + ": the session went on after the spoiled handshake");
        if (status.compare(0, tlsFailed.size(), tlsFailed) != 0) {
          breach(at + ": the run's status \"" + status + "\" does not name the failed secure connection");
        } else {
          ++m_report.m_nTlsFaultFailures;
          m_report.m_nTlsFaultTimeouts += status == tlsFailed + FromUtf8("等待服务器超时");
        }
      }
      if (s.m_bCommitted) {
        ++m_report.m_nCommitted;
        if (s.m_nBodyDigest != m_nBody) breach(at + ": the message body arrived altered");
        const std::vector<std::string>& expected =
            i < claim.m_recipients.size() ? claim.m_recipients[i] : std::vector<std::string>{};
        for (const std::string& address : s.m_recipients) {
          if (std::find(expected.begin(), expected.end(), address) == expected.end()) {
            breach(at + ": recipient " + address + " is not on its address line");
          }
          if (!taken.insert(address).second) breach(at + ": " + address + " got the message twice");
        }
      }
      if (clientOk && !s.m_bCommitted) breach(at + ": the run counts it sent, the server never took it");
      if (!clientOk) {
        // A server can take a message and the client still see the session
        // fail: a fault after the reply to the final dot, a split reply to
        // the dot read in pieces, or an oversized reply whose rest the
        // lock-step client reads as the next reply (out of step).
        const bool late = s.m_bInjected && (s.m_step == SmtpStep::Quit || s.m_fault == SmtpFault::Oversized ||
                                            (s.m_step == SmtpStep::DataEnd && s.m_fault == SmtpFault::Split));
        if (!s.m_bInjected) breach(at + ": the session failed without a fault");
        if (s.m_bCommitted && !late) breach(at + ": the server took a message the run counts failed");
        if (s.m_bCommitted) ++m_report.m_nCommittedThenFailed;
      }
    }
    if (!claim.m_bSucceeded) ++m_report.m_nFailedRuns;
  }

 private:
  SoakReport& m_report;
  std::uint64_t m_nBody;
};

// Runs postwing-send in the working directory; its exit status, or -1 when
// it had to be killed after `deadlineMs`.
int RunSender(const std::string& program, int deadlineMs) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteSenderSettings(unsigned int port, SmtpOpening opening, const std::string& caFile) {
  std::string ini = FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=") + kSender + "\r\nemstp=0\r\nport=" +
                    std::to_string(port) + "\r\nsecurity=" + std::to_string(static_cast<int>(opening)) +
                    "\r\ncafile=" + caFile + "\r\nreuse=1\r\n[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\nmailsubject=" +
                    FromUtf8("压力测试") + "\r\n[sound]\r\nplay=0\r\n";
  std::filesystem::create_directories("ini");
  WriteAll("ini/Stmp.Ini", ini);
}

void Print(std::FILE* out, const SoakReport& r, bool held) {
  std::fprintf(out, "soak: %d sessions in %d runs through CBatchRun, %d sessions in %d runs through postwing-send, %.1f s\n",
               r.m_nSessions, r.m_nRuns, r.m_nSenderSessions, r.m_nSenderRuns, r.m_dSeconds);
  std::fprintf(out, "soak: faults injected by kind:");
  int total = 0;
  for (int k = 1; k < kSmtpFaultKinds; ++k) {
    std::fprintf(out, " %s=%d", SmtpFaultName(static_cast<SmtpFault>(k)), r.m_nFaults[k]);
    total += r.m_nFaults[k];
  }
  std::fprintf(out, " (total %d)\nsoak: faults injected by step:", total);
  for (int s = 0; s < kSmtpSteps; ++s) {
    std::fprintf(out, " %s=%d", SmtpStepName(static_cast<SmtpStep>(s)), r.m_nFaultSteps[s]);
  }
  std::fprintf(out, "\nsoak: sessions plain %d, STARTTLS %d, TLS %d; handshakes completed %d; handshake faults "
                    "after STARTTLS %d, from the first byte %d, failed as \"安全连接失败: ...\" %d (as its time-out %d)",
               r.m_nTlsSessions[0], r.m_nTlsSessions[1], r.m_nTlsSessions[2], r.m_nTlsHandshakes,
               r.m_nTlsFaults[1], r.m_nTlsFaults[2], r.m_nTlsFaultFailures, r.m_nTlsFaultTimeouts);
  std::fprintf(out, "\nsoak: messages taken by the server %d (in a session the client saw fail: %d); failed runs %d\n",
               r.m_nCommitted, r.m_nCommittedThenFailed, r.m_nFailedRuns);
  std::fprintf(out, "soak: open descriptors start %ld end %ld; resident memory start %ld KiB end %ld KiB, peak %ld KiB\n",
               r.m_nFdsStart, r.m_nFdsEnd, r.m_nRssStartKb, r.m_nRssEndKb, r.m_nPeakRssKb);
  for (std::size_t i = 0; i < r.m_breaches.size() && i < 20; ++i) {
    std::fprintf(out, "soak: BREACH %s\n", r.m_breaches[i].c_str());
  }
  std::fprintf(out, "soak: invariants %s (no hang, messages whole, none twice, counts and report agree, "
                    "working directory restored, descriptors flat): %zu breaches\n",
               held ? "held" : "BROKEN", r.m_breaches.size());
  std::fflush(out);
}

}  // namespace

long OpenDescriptorCount() {
  long count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    count -= 3;  // ".", ".." and the descriptor of the listing itself
  }
  return count;
}

long ResidentKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = field;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
  }
  return 0;
}

bool RunFaultSoak(const SoakOptions& options, SoakReport& report, std::FILE* out) {
  report = SoakReport();
  const Clock::time_point started = Clock::now();
  CTempDir dir;
  CWorkingDirGuard cwd(dir.Path());
  const std::string start = platform::GetWorkingDir();
  std::filesystem::create_directories("mail");
  WriteAll("mail/notice.txt", MailText());
  WriteAll(platform::NativePath(ReportFileName()).string(), "");
  CChecker checker(report, Digest(ExpectedBody()));
  std::mt19937_64 random(options.m_nSeed);
  CWatchdog watchdog;
  const int sessionBoundMs = kConnectMs + 3 * options.m_nReplyMs + 2000;

  // The server's certificate, and the authority the client trusts for it.
  const std::string certs = (dir.Path() / "certs").string();
  const bool tls = !options.m_strCertScript.empty() && options.m_dTlsShare > 0;
  if (tls && std::system(("bash " + options.m_strCertScript + " " + certs + " >/dev/null 2>&1").c_str()) != 0) {
    report.m_breaches.push_back("the test certificates could not be made");
  }
  const std::string caFile = tls ? certs + "/ca.pem" : std::string();
  auto withCertificate = [&](FaultPlan plan) {
    if (tls) {
      plan.m_strCertFile = certs + "/server.pem";
      plan.m_strKeyFile = certs + "/server.key";
    }
    return plan;
  };
  // Each run's opening: plain, or TLS after STARTTLS or from the first byte.
  auto chooseOpening = [&]() {
    if (!tls || std::uniform_real_distribution<double>(0, 1)(random) >= options.m_dTlsShare) return SmtpOpening::Plain;
    return random() % 2 == 0 ? SmtpOpening::StartTls : SmtpOpening::Tls;
  };

  report.m_nFdsStart = OpenDescriptorCount();
  report.m_nRssStartKb = ResidentKb();
  {
    FaultPlan plan;
    plan.m_nSeed = options.m_nSeed;
    plan.m_dRate = options.m_dFaultRate;
    CFaultSmtpServer server(withCertificate(plan));
    if (!server.Listening()) report.m_breaches.push_back("the fault server could not listen");
    const SmtpTimeouts saved = CSMTP::SetTimeouts(SoakTimeouts(options.m_nReplyMs));
    CSoakHost host;
    while (server.Listening() && report.m_nSessions < options.m_nSessions) {
      const int run = report.m_nRuns++;
      RunClaim claim;
      claim.m_nAddressLines = 1 + static_cast<int>(random() % options.m_nMaxAddressLines);
      claim.m_recipients = WriteAddressList(run, claim.m_nAddressLines, random);
      claim.m_opening = chooseOpening();
      host.SetSecurity(claim.m_opening, caFile);
      const std::size_t reportSize = ReadAll(platform::NativePath(ReportFileName()).string()).size();
      server.BeginRun(run, claim.m_opening);
      CBatchRun batch(host);
      batch.SetSmtpPortForTests(server.Port());
      watchdog.Arm(claim.m_nAddressLines * sessionBoundMs + kRunSlackMs, "run " + std::to_string(run));
      batch.Run();
      watchdog.Disarm();
      claim.m_nSessions = batch.m_nAddressCount;
      claim.m_bSucceeded = batch.m_strError.empty();
      claim.m_strError = batch.m_strError;
      claim.m_strReportLine = NewReportLine(reportSize);
      std::vector<ServedSession> served;
      if (!server.TakeSessions(served)) report.m_breaches.push_back("run " + std::to_string(run) + ": a session never ended");
      if (platform::GetWorkingDir() != start) {
        report.m_breaches.push_back("run " + std::to_string(run) + ": the working directory was not restored");
        platform::SetWorkingDir(start);
      }
      checker.Check("run " + std::to_string(run), claim, served);
      report.m_nSessions += static_cast<int>(served.size());
    }
    CSMTP::SetTimeouts(saved);
  }

  if (options.m_nSenderSessions > 0) {
    FaultPlan plan;
    plan.m_nSeed = options.m_nSeed + 1;
    plan.m_dRate = options.m_dFaultRate;
    plan.m_bStalls = false;  // the program waits minutes for a reply, as it should
    CFaultSmtpServer server(withCertificate(plan));
    if (!server.Listening()) report.m_breaches.push_back("no fault server for postwing-send");
    while (server.Listening() && report.m_nSenderSessions < options.m_nSenderSessions) {
      const int run = report.m_nRuns + report.m_nSenderRuns++;
      RunClaim claim;
      claim.m_nAddressLines = 1 + static_cast<int>(random() % options.m_nMaxAddressLines);
      claim.m_recipients = WriteAddressList(run, claim.m_nAddressLines, random);
      claim.m_opening = chooseOpening();
      WriteSenderSettings(server.Port(), claim.m_opening, caFile);
      const std::size_t reportSize = ReadAll(platform::NativePath(ReportFileName()).string()).size();
      server.BeginRun(run, claim.m_opening);
      const int status = RunSender(options.m_strSenderProgram, claim.m_nAddressLines * 10000 + kRunSlackMs);
      const std::string name = "postwing-send run " + std::to_string(run);
      if (status < 0 || status > 1) report.m_breaches.push_back(name + ": ended with status " + std::to_string(status));
      claim.m_bSucceeded = status == 0;
      claim.m_strReportLine = NewReportLine(reportSize);
      ReportFields fields;
      if (SplitReportLine(claim.m_strReportLine, fields)) claim.m_nSessions = std::atoi(fields.m_strAddressCount.c_str());
      std::vector<ServedSession> served;
      if (!server.TakeSessions(served)) report.m_breaches.push_back(name + ": a session never ended");
      checker.Check(name, claim, served);
      report.m_nSenderSessions += static_cast<int>(served.size());
    }
  }

  report.m_nFdsEnd = OpenDescriptorCount();
  report.m_nRssEndKb = ResidentKb();
  report.m_nPeakRssKb = ResidentKb("VmHWM:");
  if (report.m_nFdsEnd > report.m_nFdsStart) {
    report.m_breaches.push_back("open descriptors grew from " + std::to_string(report.m_nFdsStart) + " to " +
                                std::to_string(report.m_nFdsEnd));
  }
  report.m_dSeconds = std::chrono::duration<double>(Clock::now() - started).count();
  const bool held = report.m_breaches.empty();
  Print(out, report, held);
  return held;
}

}  // namespace testsupport
