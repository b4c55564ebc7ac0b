#include "support/journal_kill.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "dispatch/run_journal.h"
#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/journal_file.h"
#include "support/fault_smtp_server.h"
#include "support/journal_kill_process.h"
#include "support/temp_dir.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using platform::FromUtf8;

constexpr int kKillsPerList = 5;      // after this many kills a list's run may finish
constexpr double kKillChance = 0.85;  // of each run, until then
constexpr unsigned kSessionJitterUs = 2000;  // a kill after a session began lands this far into it, at most

const char kRefusedPrefix[] = "bad-";
constexpr int kRefusedEvery = 4;

std::string Address(int list, int line, bool keepGoing) {
  const std::string address = "k" + std::to_string(list) + "-" + std::to_string(line) + "@example.com";
  return keepGoing && line % kRefusedEvery == 1 ? kRefusedPrefix + address : address;
}

}  // namespace

bool RunJournalKills(const JournalKillOptions& options, JournalKillReport& report, std::FILE* out) {
  report = JournalKillReport();
  const Clock::time_point started = Clock::now();
  CTempDir dir;
  FaultPlan plan;
  plan.m_dRate = 0;  // a sound server: every loss or repeat is the client's
  if (options.m_bKeepGoing) plan.m_strRefusedPrefix = kRefusedPrefix;
  plan.m_bConcurrent = options.m_nConnections > 1;
  const bool keepGoing = options.m_bKeepGoing;
  CFaultSmtpServer server(plan);
  if (!server.Listening()) report.m_breaches.push_back("the server could not listen");
  dir.WriteFile("mail/notice.txt", FromUtf8("一封通知。\r\n.\r\n第二行\r\n"));
  dir.WriteFile("ini/Stmp.Ini", FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=kill@example.com\r\nemstp=0\r\nport=") +
                                    std::to_string(server.Port()) +
                                    (options.m_nConnections > 1
                                         ? "\r\nsecurity=3\r\nreuse=1\r\nconnections=" +
                                               std::to_string(options.m_nConnections)
                                         : std::string()) +
                                    "\r\n[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\nmailsubject=" +
                                    FromUtf8("断电测试") + (keepGoing ? "\r\nonerror=1\r\nretry=0" : "") +
                                    "\r\n[sound]\r\nplay=0\r\n");
  // The report file, so that each run adds its line.
  const fs::path reportPath = dir.Path() / platform::NativePath(ReportFileName());
  std::ofstream(reportPath, std::ios::binary).flush();
  auto readReport = [&] {
    std::string bytes;
    platform::ReadWholeFile(reportPath, bytes);
    return bytes;
  };
  const fs::path journalPath = JournalPath(dir.Path());
  std::mt19937_64 random(options.m_nSeed);
  const std::string success = FromUtf8("成功");
  const std::string notArrived = FromUtf8("未送达 ");

  for (int list = 0; server.Listening() && report.m_nKills < options.m_nKills; ++list) {
    const std::string name = "list " + std::to_string(list);
    auto breach = [&](const std::string& what) { report.m_breaches.push_back(name + ": " + what); };
    std::string text;
    for (int i = 0; i < options.m_nAddressLines; ++i) text += Address(list, i, keepGoing) + "\r\n";
    dir.WriteFile("list.txt", text);
    std::map<std::string, int> taken;  // by address, how often the server took the message
    int kills = 0;
    bool resume = false;
    for (bool ended = false; !ended;) {
      if (report.m_nInvocations > 0 && report.m_nInvocations % 1000 == 0) std::fflush(out);
      ++report.m_nInvocations;
      const std::string reportBefore = readReport();
      // The first list runs whole to time a run; later runs are killed a few
      // times per list: at a random moment of such a run (mostly its start:
      // the program loading, the journal being written), or, more often, at
      // a random moment after a random number of its sessions began.
      KillPlan plan;
      if (list > 0 && kills < kKillsPerList && std::uniform_real_distribution<double>(0, 1)(random) < kKillChance) {
        plan.m_bKill = true;
        if (random() % 4 == 0) {
          plan.m_nAfterUs = static_cast<long>(random() % static_cast<unsigned long>(report.m_nFullRunUs + 1));
        } else {
          plan.m_nSessions = 1 + static_cast<int>(random() % static_cast<unsigned>(options.m_nAddressLines));
          plan.m_nAfterUs = static_cast<long>(random() % kSessionJitterUs);
        }
      }
      const Clock::time_point runStart = Clock::now();
      int status = -1;
      const bool killed = RunSenderToKill(options.m_strSenderProgram, dir.Path(), resume, plan, server, status);
      if (list == 0) {
        report.m_nFullRunUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - runStart).count();
      }
      std::vector<ServedSession> served;
      if (!server.TakeSessions(served)) breach("a session never ended");
      int takenNow = 0;
      for (const ServedSession& s : served) {
        if (!s.m_bCommitted) continue;
        ++report.m_nTaken;
        ++takenNow;
        for (const std::string& address : s.m_recipients) ++taken[address];
      }
      // A refused recipient counts as dealt with like a taken one.
      for (const ServedSession& s : served) {
        for (const std::string& address : s.m_refused) ++taken[address];
      }
      // The journal after the run: readable, and no message counted that the
      // server did not take.
      std::string journalText;
      RunInputs inputs;
      std::int64_t done = 0;
      JournalCount marked;
      const bool journal = platform::ReadWholeFile(journalPath, journalText);
      const bool parsed = journal && ParseJournal(journalText, inputs, done, nullptr, &marked);
      if (journal && !parsed) breach("the journal is torn: \"" + journalText + "\"");
      // A run killed before it began its journal leaves the one of the run
      // before, of the list before, if that run was killed after it marked
      // its last message: it is no journal of this list (nor would the
      // program continue it).
      platform::FileStamp listStamp;
      platform::StampFile(dir.Path() / "list.txt", listStamp);
      const bool readable = parsed && inputs.m_address == listStamp;
      if (readable && !marked.m_ahead.empty()) ++report.m_nOutOfOrder;
      for (std::int64_t i = 0; readable && i < options.m_nAddressLines; ++i) {
        if (marked.Contains(i) && taken[Address(list, static_cast<int>(i), keepGoing)] == 0) {
          breach("the journal counts message " + std::to_string(i) + " the server never took");
        }
      }
      if (readable && done > options.m_nAddressLines) breach("the journal counts more messages than the list has");
      // The report after a kill: the old file or the new one, whole. It
      // keeps what it held, and what it gained is nothing or one whole line
      // (a line end in text mode, "\n" or "\r\n", then the line).
      const std::string reportAfter = readReport();
      const bool kept = reportAfter.compare(0, reportBefore.size(), reportBefore) == 0;
      if (!kept) breach("the report lost what it held: \"" + reportAfter + "\"");
      const std::string added = kept ? reportAfter.substr(reportBefore.size()) : std::string();
      ReportFields fields;
      const bool reported = SplitReportLine(TrimWhiteSpace(added), fields);
      const std::size_t lineAt = added.compare(0, 2, "\r\n") == 0 ? 2 : added.compare(0, 1, "\n") == 0 ? 1 : 0;
      if (!added.empty() && (!reported || lineAt == 0 || added.find_first_of("\r\n", lineAt) != std::string::npos)) {
        breach("the report gained a torn line: \"" + added + "\"");
      }
      const std::string said = TrimWhiteSpace(fields.m_strStatus);
      const bool undelivered = keepGoing && said.compare(0, notArrived.size(), notArrived) == 0;
      if (!killed) {
        const bool fine = reported && (said == success ? status == 0 : undelivered && status == 4);
        if (!fine) {
          breach("a run that was not killed ended with status " + std::to_string(status) + ", report \"" +
                 TrimWhiteSpace(added) + "\"");
        }
        if (journal) breach("the journal outlived a finished run");
        ended = true;
        continue;
      }
      ++report.m_nKills;
      ++kills;
      // Taken up as a user would: a report line says the run ended; a journal
      // with a run to continue is continued; one that counts every message
      // says all went; nothing to continue means a new start. A run killed
      // after it removed its journal (every message sent) but before its
      // report line leaves no trace a user could tell from a run killed
      // before its first message; the server's record tells them apart
      // here: a journal is in place before a run's first message, so a run
      // that sent one and left none had finished.
      if (reported) {
        if (said != success && !undelivered) breach("a killed run reported failure");
        ended = true;
      } else if (!journal && takenNow > 0) {
        ++report.m_nKilledAfterJournal;
        ended = true;
      } else if (readable && done > 0 && done < inputs.m_nTotal) {
        ++report.m_nResumes;
        resume = true;
      } else if (readable && done > 0 && done >= inputs.m_nTotal) {
        ended = true;
      } else {
        ++report.m_nFreshRestarts;
        resume = false;
      }
    }
    report.m_nMessages += options.m_nAddressLines;
    int resent = 0;
    for (int i = 0; i < options.m_nAddressLines; ++i) {
      const int count = taken[Address(list, i, keepGoing)];
      if (count == 0) breach("message " + std::to_string(i) + " was never sent");
      if (count > 1) resent += count - 1;
    }
    // In flight at a kill: the message the server took before the run could
    // note it; with several connections, each connection's, and (when the
    // run's thread was held up) the one after it on the same connection.
    const int inFlight = options.m_nConnections == 1 ? 1 : 2 * options.m_nConnections;
    if (resent > kills * inFlight) {
      breach(std::to_string(resent) + " messages sent again after " + std::to_string(kills) +
             " kills: more than those in flight at each");
    }
    report.m_nInFlightResent += resent;
    report.m_nLists = list + 1;
  }
  report.m_dSeconds = std::chrono::duration<double>(Clock::now() - started).count();
  const JournalKillReport& r = report;
  std::fprintf(out, "journal kills: %d kills in %d postwing-send runs over %d lists of %d messages, %.1f s "
                    "(a whole run %.1f ms)\n",
               r.m_nKills, r.m_nInvocations, r.m_nLists, options.m_nAddressLines, r.m_dSeconds, r.m_nFullRunUs / 1000.0);
  std::fprintf(out, "journal kills: continued with --resume %d, started afresh %d, killed after the journal went "
                    "but before the report line %d; messages asked %d, taken %d, taken again (in flight at a kill) %d; "
                    "journals with messages taken out of order %d\n",
               r.m_nResumes, r.m_nFreshRestarts, r.m_nKilledAfterJournal, r.m_nMessages, r.m_nTaken,
               r.m_nInFlightResent, r.m_nOutOfOrder);
  for (std::size_t i = 0; i < r.m_breaches.size() && i < 20; ++i) std::fprintf(out, "journal kills: BREACH %s\n", r.m_breaches[i].c_str());
  std::fprintf(out, "journal kills: invariants %s (journal readable, counts only taken messages, none lost, "
                    "none twice but the one in flight): %zu breaches\n",
               r.m_breaches.empty() ? "held" : "BROKEN", r.m_breaches.size());
  std::fflush(out);
  return r.m_breaches.empty();
}

}  // namespace testsupport
