// The keep-going side of CBatchRun: the record, the run over the folder, the
// final message and the report line's status.
#include <map>

#include "dispatch/batch_run.h"
#include "addresses/address_table.h"
#include "dispatch/keep_going_run.h"
#include "dispatch/run_mail.h"
#include "dispatch/run_tracker.h"
#include "dispatch/send_record.h"
#include "dispatch/send_record_reader.h"
#include "platform/clock.h"
#include "platform/codepage.h"

namespace {

struct KeepGoingTexts {
  std::string m_strDone = platform::FromUtf8("发送完成: 已送达 ");
  std::string m_strDelivered = platform::FromUtf8("已送达 ");
  std::string m_strUndelivered = platform::FromUtf8(" 封, 未送达 ");
  std::string m_strEnd = platform::FromUtf8(" 封.");
  std::string m_strRecord = platform::FromUtf8("发送记录: ");
  std::string m_strNotArrived = platform::FromUtf8("未送达 ");
  std::string m_strPieces = platform::FromUtf8(" 封");
  std::string m_strRunFailed = platform::FromUtf8("邮件发送错误!\n");
  std::string m_strStopped = platform::FromUtf8("发送已停止.");
  std::string m_strStoppedStatus = platform::FromUtf8("已停止");
  std::string m_strNothingToRetry = platform::FromUtf8("没有未送达的邮件可以重发.");
  std::string m_strNoAddressFile = platform::FromUtf8("没有设置邮件地址列表文件.");
  std::string m_strNoExclusions = platform::FromUtf8("无法打开排除名单文件.");
};

const KeepGoingTexts& T() {
  static const KeepGoingTexts texts;
  return texts;
}

}  // namespace

void CBatchRun::RunRetryFailed() {
  const int previous = m_bRetryFailed;
  m_bRetryFailed = 1;
  Run();
  m_bRetryFailed = previous;
}

std::string CBatchRun::RunKeepGoing(const std::vector<platform::DirEntry>& entries,
                                    const CMailSource& source) {
  CRunTracker& tracker = *m_pTracker;
  CSendRecord record;
  CRunMail mail;
  CKeepGoingRun run(tracker, source, Target(), record, mail);
  // A list of addresses never to send to that cannot be read would let the
  // run write to unsubscribed addresses: nothing is sent, and the journal of
  // an earlier run stays as it was.
  if (!source.m_strExcludeFile.empty() && !run.LoadExclusions(UnderStartDir(source.m_strExcludeFile))) {
    return FailKeepGoing(T().m_strNoExclusions);
  }
  std::map<std::string, std::vector<std::string>> again;
  std::int64_t againCount = 0;
  if (m_bRetryFailed) {
    std::vector<RecordRow> rows;
    const std::filesystem::path newest = m_startDir.empty() ? std::filesystem::path()
                                                            : NewestRecord(m_startDir);
    if (!newest.empty() && ReadSendRecord(newest, rows)) {
      for (const RecordRow& row : rows) {
        if (!IsWorthRetrying(row.m_result)) continue;
        again[row.m_strMailFile].push_back(row.m_strRecipient);
        ++againCount;
      }
    }
    if (againCount == 0) return FailKeepGoing(T().m_strNothingToRetry);
  } else if (source.m_strAddressFile.empty()) {
    return FailKeepGoing(T().m_strNoAddressFile);
  }
  // Every check before the first message; a retry of a plain list needs no
  // list (the record names the recipients), a table gives the rows' fields.
  std::vector<std::string> names;
  for (const auto& [name, lines] : again) names.push_back(name);
  CMailSource checked = source;
  if (m_bRetryFailed && !addresses::IsTableName(source.m_strAddressFile)) checked.m_strAddressFile.clear();
  std::string problem;
  const std::filesystem::path list =
      checked.m_strAddressFile.empty() ? std::filesystem::path() : UnderStartDir(checked.m_strAddressFile);
  CRunMail::Scope scope;
  scope.m_pOnly = m_bRetryFailed ? &names : nullptr;
  scope.m_bListWanted = !m_bRetryFailed;
  if (!mail.Prepare(entries, {}, list, checked,
                    [&problem](const RunProblem& found, std::size_t) {
                      problem = found.m_strText;
                      return false;
                    },
                    scope)) {
    return FailKeepGoing(problem);
  }
  if (m_bRetryFailed) {
    tracker.StartCounted(source, againCount);
    run.LimitTo(std::move(again));
  } else if (std::string error; !tracker.Start(m_startDir, source, m_bResume != 0, error)) {
    return FailKeepGoing(error);
  }

  record.Open(m_startDir, platform::NowUtc());
  const KeepGoingSummary summary = run.Run();
  // The journal goes once the run dealt with every message, whatever came of
  // them; before the record's flush to the disk, so that a run killed in
  // between leaves no journal of a finished run (the rows are written already).
  tracker.Finish(!summary.m_bFailed && !summary.m_bStopped);
  record.Close();
  m_outcome.m_strRecordPath = record.PathText();
  m_outcome.m_strRecordName = record.Name();
  m_bStopped = tracker.Stopped() || summary.m_bStopped;
  m_nMailCount = summary.m_nMailCount;
  m_nAddressCount = summary.m_nAddressCount;
  return FinishKeepGoing(summary);
}

std::string CBatchRun::FailKeepGoing(const std::string& error) {
  m_strError = error;
  m_outcome.m_bKeepGoing = true;
  m_outcome.m_bFailed = true;
  const CSoundSettings endSound = m_host.SoundSettings();
  if (endSound.m_bPlay) PlayWave(endSound.m_strErrWave);
  return T().m_strRunFailed + m_strError;
}

std::string CBatchRun::FinishKeepGoing(const KeepGoingSummary& summary) {
  m_outcome.m_bKeepGoing = true;
  m_outcome.m_nDelivered = summary.m_nDelivered;
  m_outcome.m_nUndelivered = summary.m_nUndelivered;
  m_outcome.m_bFailed = summary.m_bFailed && !m_bStopped;
  const std::string counts = std::to_string(summary.m_nDelivered) + T().m_strUndelivered +
                             std::to_string(summary.m_nUndelivered) + T().m_strEnd;
  const std::string recordName =
      m_outcome.m_strRecordName.empty() ? std::string() : ", " + m_outcome.m_strRecordName;
  const std::string recordLine =
      m_outcome.m_strRecordPath.empty() ? std::string() : "\n" + T().m_strRecord + m_outcome.m_strRecordPath;
  std::string message;
  if (m_bStopped) {
    m_strError = T().m_strStoppedStatus + recordName;
    message = T().m_strStopped + "\n" + T().m_strDelivered + counts;
  } else if (summary.m_bFailed) {
    m_strError = summary.m_strError + recordName;
    message = T().m_strRunFailed + summary.m_strError + "\n" + T().m_strDelivered + counts;
  } else {
    m_strError = summary.m_nUndelivered == 0
                     ? std::string()
                     : T().m_strNotArrived + std::to_string(summary.m_nUndelivered) +
                           T().m_strPieces + recordName;
    message = T().m_strDone + counts;
  }
  const CSoundSettings endSound = m_host.SoundSettings();
  if (endSound.m_bPlay) {
    PlayWave(m_strError.empty() ? endSound.m_strOkWave : endSound.m_strErrWave);
  }
  return message + recordLine;
}
