#include <filesystem>
#include <map>
#include <set>

#include "dispatch/send_record_reader.h"
#include "platform/dirs.h"
#include "smtp/smtp_session.h"
#include "support/fault_soak.h"
#include "support/fault_soak_parts.h"
#include "support/temp_dir.h"

namespace testsupport {
namespace {

using namespace soakparts;

// Minutes of retries for each run: a few tries at most on the soak's clock.
constexpr int kRetryMinutes = 8;

void Print(std::FILE* out, const KeepGoingSoakReport& r) {
  std::fprintf(out, "keep-going soak: %d sessions in %d runs, %.1f s; %d rows: delivered %d, undelivered %d, "
                    "tried more than once %d; runs ended on a failure %d; taken twice after a cut past the dot %d\n",
               r.m_nSessions, r.m_nRuns, r.m_dSeconds, r.m_nRows, r.m_nDelivered, r.m_nUndelivered, r.m_nRetried,
               r.m_nEndedRuns, r.m_nUncertainRepeats);
  for (std::size_t i = 0; i < r.m_breaches.size() && i < 20; ++i) {
    std::fprintf(out, "keep-going soak: BREACH %s\n", r.m_breaches[i].c_str());
  }
  std::fprintf(out, "keep-going soak: invariants %s (one row per recipient, counts and report agree, delivered "
                    "rows taken, none twice but after a cut past the dot): %zu breaches\n",
               r.m_breaches.empty() ? "held" : "BROKEN", r.m_breaches.size());
  std::fflush(out);
}

}  // namespace

bool RunKeepGoingSoak(const SoakOptions& options, KeepGoingSoakReport& report, std::FILE* out) {
  report = KeepGoingSoakReport();
  const Clock::time_point started = Clock::now();
  CTempDir dir;
  CWorkingDirGuard cwd(dir.Path());
  std::filesystem::create_directories("mail");
  WriteAll("mail/notice.txt", MailText());
  WriteAll(platform::NativePath(ReportFileName()).string(), "");
  std::mt19937_64 random(options.m_nSeed + 7);
  const std::string uncertain = FromUtf8("结果不明, 已重发");
  const std::string success = FromUtf8("成功");

  FaultPlan plan;
  plan.m_nSeed = options.m_nSeed + 7;
  plan.m_dRate = options.m_dFaultRate;
  CFaultSmtpServer server(plan);
  if (!server.Listening()) report.m_breaches.push_back("the fault server could not listen");
  const SmtpTimeouts saved = CSMTP::SetTimeouts(SoakTimeouts(options.m_nReplyMs));
  CSoakClock clock;
  CSoakHost host;
  host.KeepGoing(kRetryMinutes, clock);
  while (server.Listening() && report.m_nSessions < options.m_nSessions) {
    const int run = report.m_nRuns++;
    const std::string name = "keep-going run " + std::to_string(run);
    auto breach = [&](const std::string& what) { report.m_breaches.push_back(name + ": " + what); };
    const int lines = 1 + static_cast<int>(random() % options.m_nMaxAddressLines);
    const std::vector<std::vector<std::string>> recipients = WriteAddressList(run, lines, random);
    const std::size_t reportSize = ReadAll(platform::NativePath(ReportFileName()).string()).size();
    server.BeginRun(run);
    CBatchRun batch(host);
    batch.SetSmtpPortForTests(server.Port());
    batch.Run();
    std::vector<ServedSession> served;
    if (!server.TakeSessions(served)) breach("a session never ended");
    report.m_nSessions += static_cast<int>(served.size());
    std::map<std::string, int> taken;
    for (const ServedSession& s : served) {
      if (!s.m_bCommitted) continue;
      for (const std::string& address : s.m_recipients) ++taken[address];
    }

    const RunOutcome& outcome = batch.Outcome();
    std::vector<RecordRow> rows;
    if (!ReadSendRecord(platform::NativePath(outcome.m_strRecordPath), rows)) breach("no record");
    report.m_nEndedRuns += outcome.m_bFailed;
    std::map<std::string, const RecordRow*> byAddress;
    std::int64_t delivered = 0;
    std::int64_t undelivered = 0;
    for (const RecordRow& row : rows) {
      ++report.m_nRows;
      if (!byAddress.emplace(row.m_strAddress, &row).second) breach(row.m_strAddress + " has two rows");
      report.m_nRetried += row.m_nAttempts > 1;
      const bool marked = row.m_strReply.find(uncertain) != std::string::npos;
      const int times = taken[row.m_strAddress];
      if (row.m_result == RecipientResult::Delivered) {
        ++delivered;
        if (times == 0) breach(row.m_strAddress + " is recorded delivered, the server never took it");
      } else if (IsUndelivered(row.m_result)) {
        ++undelivered;
        if (times > 0 && !marked) breach(row.m_strAddress + " was taken, its row says " + row.m_strResult);
      }
      if (times > 1 && !marked) breach(row.m_strAddress + " was taken " + std::to_string(times) + " times");
      if (times > 1) report.m_nUncertainRepeats += times - 1;
    }
    for (const std::vector<std::string>& line : recipients) {
      for (const std::string& address : line) {
        if (byAddress.count(address) == 0) breach(address + " has no row");
      }
    }
    if (rows.size() != byAddress.size() || byAddress.size() > static_cast<std::size_t>(lines) * 2) {
      breach("rows for addresses not on the list");
    }
    if (delivered != outcome.m_nDelivered || undelivered != outcome.m_nUndelivered) {
      breach("the counts disagree with the record");
    }
    report.m_nDelivered += static_cast<int>(delivered);
    report.m_nUndelivered += static_cast<int>(undelivered);
    ReportFields fields;
    const std::string line = NewReportLine(reportSize);
    const bool split = SplitReportLine(line, fields);
    const std::string status = TrimWhiteSpace(fields.m_strStatus);
    const bool allArrived = undelivered == 0 && !outcome.m_bFailed;
    if (!split || (status == success) != allArrived ||
        (!allArrived && RecordPathFromStatus(dir.Path(), status) !=
                            platform::NativePath(outcome.m_strRecordPath))) {
      breach("report line \"" + line + "\" disagrees with the record");
    }
  }
  CSMTP::SetTimeouts(saved);
  report.m_dSeconds = std::chrono::duration<double>(Clock::now() - started).count();
  Print(out, report);
  return report.m_breaches.empty();
}

}  // namespace testsupport
