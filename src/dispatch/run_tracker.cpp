#include "dispatch/run_tracker.h"

#include "dispatch/batch_run.h"
#include "platform/codepage.h"
#include "platform/net.h"

namespace {

struct TrackerTexts {
  std::string nothingToResume = platform::FromUtf8("没有中断的发送可以继续.");
  std::string inputsChanged =
      platform::FromUtf8("邮件目录、邮件地址列表或邮件主题已改变, 无法从中断处继续.");
};

const TrackerTexts& T() {
  static const TrackerTexts texts;
  return texts;
}

}  // namespace

CRunTracker::CRunTracker(CBatchHost& host) : m_host(host) {
  platform::SetNetWaitAbandon(
      [this](std::chrono::milliseconds waited) { return AbandonWait(waited); });
}

CRunTracker::~CRunTracker() { platform::SetNetWaitAbandon(nullptr); }

bool CRunTracker::Start(const std::filesystem::path& startDir, const CMailSource& source,
                        bool resume, std::string& error) {
  m_pace = CRunPace(source.m_nRate, m_host.RunClock());
  m_resumed = JournalCount();
  m_nNext = 0;
  m_nCurrent = -1;
  m_bPaced = false;
  RunInputs inputs;
  if (startDir.empty()) {
    // Where the start directory cannot be told, neither can the names under it.
    inputs.m_nTotal = kUnknownTotal;
  } else {
    inputs = ReadRunInputs(startDir, source);
  }
  m_progress = RunProgress();
  m_progress.m_nTotal = inputs.m_nTotal;
  m_nPerFile = inputs.m_files.empty() || inputs.m_nTotal < 0
                   ? 0
                   : inputs.m_nTotal / static_cast<std::int64_t>(inputs.m_files.size());
  const std::filesystem::path path = JournalPath(startDir);
  if (resume && startDir.empty()) {
    error = T().nothingToResume;
    return false;
  }
  if (resume) {
    std::string text;
    RunInputs journal;
    std::int64_t done = 0;
    m_pending.clear();
    if (!platform::ReadWholeFile(path, text) ||
        !ParseJournal(text, journal, done, &m_pending, &m_resumed) ||
        !JournalLeavesWork(done, journal.m_nTotal, m_pending)) {
      error = T().nothingToResume;
      return false;
    }
    if (!(journal == inputs)) {
      error = T().inputsChanged;
      return false;
    }
    m_progress.m_nDone = done;
    m_journal.Continue(path, journal, m_resumed, m_pending);
  } else if (inputs.m_nTotal > 0) {
    m_journal.Begin(path, inputs);
  } else if (!startDir.empty()) {
    // Nothing to send, or a list that cannot be read twice: no run to
    // continue either.
    platform::RemoveFile(path);
  }
  Report();
  return true;
}

void CRunTracker::StartCounted(const CMailSource& source, std::int64_t total) {
  m_pace = CRunPace(source.m_nRate, m_host.RunClock());
  m_progress = RunProgress();
  m_progress.m_nTotal = total;
  m_nPerFile = 0;
  m_resumed = JournalCount();
  m_nNext = 0;
  m_nCurrent = -1;
  m_bPaced = false;
  Report();
}

bool CRunTracker::SkipFile() {
  if (m_nPerFile <= 0 || m_nNext + m_nPerFile > m_resumed.m_nPrefix) return false;
  m_nNext += m_nPerFile;
  return true;
}

bool CRunTracker::SkipMessage() {
  m_nCurrent = m_nNext++;
  return m_resumed.Contains(m_nCurrent);
}

bool CRunTracker::Ready() {
  if (m_bPaced) return true;
  if (!m_pace.WaitTurn([this] { return IdleAndStopAsked(); })) {
    m_bStopped = true;
    return false;
  }
  m_bPaced = true;
  m_progress.m_bSending = true;
  Report();
  return true;
}

void CRunTracker::Accepted() {
  m_journal.Accepted(m_nCurrent);
  m_bPaced = false;
  m_progress.m_bSending = false;
  CountAccepted();
}

void CRunTracker::AcceptedAt(std::int64_t position) {
  m_journal.Accepted(position);
  CountAccepted();
}

void CRunTracker::CountAccepted() {
  ++m_progress.m_nDone;
  ++m_progress.m_nSentThisRun;
  Report();
}

CRunClock& CRunTracker::Clock() { return m_host.RunClock(); }

bool CRunTracker::ReadyAgain() {
  if (!m_pace.WaitTurn([this] { return IdleAndStopAsked(); })) {
    m_bStopped = true;
    return false;
  }
  return true;
}

void CRunTracker::Note(const std::vector<JournalPending>& settled,
                       const std::vector<JournalPending>& pending, bool accepted) {
  if (!accepted) {
    m_journal.Note(settled, pending, std::nullopt);
    return;
  }
  m_journal.Note(settled, pending, m_nCurrent);
  m_bPaced = false;
  m_progress.m_bSending = false;
  CountAccepted();
}

void CRunTracker::NoteAt(const std::vector<JournalPending>& settled,
                         const std::vector<JournalPending>& pending,
                         std::optional<std::int64_t> position) {
  m_journal.Note(settled, pending, position);
  if (position) CountAccepted();
}

void CRunTracker::ShowCounts(std::int64_t delivered, std::int64_t undelivered) {
  if (m_progress.m_nDelivered == delivered && m_progress.m_nUndelivered == undelivered) return;
  m_progress.m_nDelivered = delivered;
  m_progress.m_nUndelivered = undelivered;
  Report();
}

void CRunTracker::ShowWaiting(std::int64_t messages, std::int64_t seconds) {
  m_progress.m_nRetryWaiting = messages;
  m_progress.m_nRetrySeconds = messages > 0 ? seconds : 0;
  Report();
}

void CRunTracker::Finish(bool allSent) {
  if (!allSent && StopAsked()) m_bStopped = true;
  if (allSent) {
    m_journal.Remove();
  } else {
    m_journal.Close();
  }
  m_progress.m_bSending = false;
}

bool CRunTracker::StopAsked() { return StopLevel() != StopNone; }

int CRunTracker::StopLevel() { return m_host.StopLevel(); }

bool CRunTracker::IdleAndStopAsked() {
  if (m_idleWork) m_idleWork();
  return StopAsked();
}

bool CRunTracker::AbandonWait(std::chrono::milliseconds waited) {
  const int level = m_host.StopLevel();
  if (level == StopNone) return false;
  if (level >= StopAtOnce) return true;
  const auto now = std::chrono::steady_clock::now();
  if (!m_stopSeen) m_stopSeen = now;
  return waited >= kSilentServerAfterStop && now - *m_stopSeen >= kSilentServerAfterStop;
}

void CRunTracker::Report() { m_host.ShowProgress(m_progress); }
