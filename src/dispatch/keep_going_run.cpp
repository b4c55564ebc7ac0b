#include "dispatch/keep_going_run.h"

#include <utility>

#include "dispatch/run_report.h"
#include "dispatch/run_tracker.h"
#include "platform/codepage.h"
#include "platform/textfile.h"

namespace {

struct KeepGoingTexts {
  std::string m_strInARow = platform::FromUtf8("连续 ");
  std::string m_strStopped = platform::FromUtf8(" 封邮件未能送达, 发送停止. ");
  std::string m_strUncertain = platform::FromUtf8(" (结果不明, 已重发)");
  std::string m_strCannotOpenMail = platform::FromUtf8("无法打开邮件文件.");
  std::string m_strCannotOpenList = platform::FromUtf8("无法打开邮件地址列表文件.");
};

const KeepGoingTexts& T() {
  static const KeepGoingTexts texts;
  return texts;
}

}  // namespace

CKeepGoingRun::CKeepGoingRun(CRunTracker& tracker, const CMailSource& source, MessageTarget target,
                             CSendRecord& record, MailReader readMail)
    : m_tracker(tracker),
      m_source(source),
      m_target(std::move(target)),
      m_record(record),
      m_readMail(std::move(readMail)) {
  m_target.m_bKeepGoing = true;
}

void CKeepGoingRun::LimitTo(std::map<std::string, std::vector<std::string>> lines) {
  m_bLimited = true;
  m_limit = std::move(lines);
}

KeepGoingSummary CKeepGoingRun::Run(const std::vector<platform::DirEntry>& entries,
                                    const std::filesystem::path& addressList) {
  // What the run continued here had queued: tried again with the rest.
  const CRunClock::Clock::time_point dueNow = m_tracker.Clock().Now() - kFirstRetryAfter;
  for (const JournalPending& pending : m_tracker.ResumedPending()) {
    CMailItem entry;
    entry.AddRecipientList(pending.m_strRecipient);
    if (entry.Recipients().empty()) continue;
    RetryItem item;
    item.m_strMailFile = pending.m_strMailFile;
    item.m_mailFile = platform::FindNativePath(pending.m_strMailFile);
    item.m_recipients = entry.Recipients();
    item.m_replies.assign(item.m_recipients.size(), std::string());
    m_schedule.Add(std::move(item), dueNow);
  }
  for (const platform::DirEntry& entry : entries) {
    if (entry.m_bDirectory || entry.m_bSpecial) continue;
    if (m_bLimited && m_limit.count(entry.m_strName) == 0) continue;
    if (!Ended() && m_tracker.SkipFile()) continue;
    if (!Ended() && !m_tracker.Ready()) m_summary.m_bStopped = true;
    SendMailFile(entry, addressList);
  }
  // The retries come after a wait: no connection is held open through it.
  m_sender.Finish();
  if (!Ended()) RetryPhase();
  m_sender.Finish();
  GiveUpRetries();
  m_tracker.ShowWaiting(0, 0);
  return m_summary;
}

void CKeepGoingRun::SendMailFile(const platform::DirEntry& entry,
                                 const std::filesystem::path& addressList) {
  m_filter.BeginMailFile();
  std::string body;
  if (!Ended()) {
    ++m_summary.m_nMailCount;
    m_summary.m_nAddressCount = 0;
    if (!m_readMail(entry.m_native, body)) EndRun(T().m_strCannotOpenMail);
    NormalizeLineEnds(body);
  }
  if (m_bLimited) {
    for (const std::string& line : m_limit[entry.m_strName]) SendLine(entry.m_strName, line, body);
    return;
  }
  platform::CTextFileReader list;
  if (!list.OpenNative(addressList)) {
    if (!Ended()) EndRun(T().m_strCannotOpenList);
    return;
  }
  // One line at a time, each sent before the next is read: never held whole.
  std::string line;
  while (list.ReadLine(line)) {
    std::string recipients = TrimWhiteSpace(line);
    if (recipients.empty()) continue;
    SendLine(entry.m_strName, recipients, body);
  }
}

void CKeepGoingRun::SendLine(const std::string& mailFile, const std::string& line,
                             const std::string& body) {
  CMailItem parsed;
  parsed.AddRecipientList(line);
  if (!Ended() && m_tracker.SkipMessage()) {
    // Dealt with by the run continued: its addresses still count as seen.
    for (const MailRecipient& recipient : parsed.Recipients()) m_filter.Check(recipient.m_strAddress);
    return;
  }
  if (!Ended()) ++m_summary.m_nAddressCount;
  std::vector<MailRecipient> toSend;
  for (const MailRecipient& recipient : parsed.Recipients()) {
    const FilterVerdict verdict = m_filter.Check(recipient.m_strAddress);
    if (verdict == FilterVerdict::Excluded) {
      Final(mailFile, recipient, RecipientResult::Excluded, std::string(), 0);
    } else if (verdict == FilterVerdict::Duplicate) {
      Final(mailFile, recipient, RecipientResult::Duplicate, std::string(), 0);
    } else {
      toSend.push_back(recipient);
    }
  }
  if (Ended()) {
    for (const MailRecipient& recipient : toSend) {
      Final(mailFile, recipient, RecipientResult::NotSent, std::string(), 0);
    }
    return;
  }
  if (toSend.empty()) {
    m_tracker.Note({}, {}, true);
    return;
  }
  if (!m_tracker.Ready()) {
    m_summary.m_bStopped = true;
    for (const MailRecipient& recipient : toSend) {
      Final(mailFile, recipient, RecipientResult::NotSent, std::string(), 0);
    }
    return;
  }
  Deliver(mailFile, body, std::move(toSend), 1, false);
}

void CKeepGoingRun::Deliver(const std::string& mailFile, const std::string& body,
                            std::vector<MailRecipient> recipients, int attempts, bool uncertain) {
  CMailItem item;
  for (const MailRecipient& recipient : recipients) {
    item.AddRecipient(recipient.m_strAddress, recipient.m_strName);
  }
  item.m_strSubject = m_source.m_strSubject;
  item.m_strBody = body;
  std::string error;
  SmtpSessionLog log;
  m_sender.Send(m_target, item, error, &log);
  const SessionVerdict verdict = JudgeSession(log, recipients, error, m_bAnyDelivered);

  if (verdict.m_bSlowDown) m_tracker.Pace().WidenGap(m_slowdown.AfterSlowDownReply());
  if (verdict.m_bTemporaryFailure) {
    m_tracker.Pace().HoldFor(m_backoff.AfterTemporaryFailure());
  } else {
    m_backoff.AfterSuccess();
  }
  const bool firstTry = attempts == 1;
  if (verdict.m_bEndRun) {
    // Nothing was sent: the message stays where the journal had it.
    EndRun(verdict.m_strError);
    for (const MailRecipient& recipient : recipients) {
      Final(mailFile, recipient, RecipientResult::NotSent, verdict.m_strError, attempts - 1);
    }
    return;
  }
  uncertain = uncertain || verdict.m_bUncertain;
  RetryItem retry;
  retry.m_strMailFile = mailFile;
  retry.m_nAttempts = attempts;
  retry.m_bUncertain = uncertain;
  std::string lastReply;
  for (const RecipientVerdict& outcome : verdict.m_recipients) {
    const MailRecipient recipient{outcome.m_strAddress, outcome.m_strName};
    lastReply = outcome.m_strReply;
    const bool again = outcome.m_result == RecipientResult::Temporary && m_source.m_nRetryMinutes > 0;
    if (again) {
      retry.m_recipients.push_back(recipient);
      retry.m_replies.push_back(outcome.m_strReply);
    } else {
      Final(mailFile, recipient, outcome.m_result, outcome.m_strReply, attempts, uncertain);
    }
  }
  std::vector<JournalPending> settled;
  std::vector<JournalPending> pending;
  for (const MailRecipient& recipient : firstTry ? std::vector<MailRecipient>() : recipients) {
    settled.push_back({mailFile, RecipientEntry(recipient.m_strName, recipient.m_strAddress)});
  }
  // Every temporary failure stays pending in the journal, queued here or
  // not: a continued run tries it again, as it does not a final outcome.
  for (const RecipientVerdict& outcome : verdict.m_recipients) {
    if (outcome.m_result != RecipientResult::Temporary) continue;
    pending.push_back({mailFile, RecipientEntry(outcome.m_strName, outcome.m_strAddress)});
  }
  m_tracker.Note(settled, pending, firstTry);
  if (!retry.m_recipients.empty()) {
    retry.m_mailFile = platform::FindNativePath(mailFile);
    m_schedule.Add(std::move(retry), m_tracker.Clock().Now());
  }

  // Only the first pass counts messages in a row: retries are expected to fail
  // for a while (a greylisting server wants minutes).
  if (!firstTry) return;
  m_nUndeliveredInARow = verdict.AnyDelivered() ? 0 : m_nUndeliveredInARow + 1;
  if (m_nUndeliveredInARow >= m_source.m_nMaxErrors) {
    EndRun(T().m_strInARow + std::to_string(m_nUndeliveredInARow) + T().m_strStopped + lastReply);
  }
}

void CKeepGoingRun::RetryPhase() {
  CRunClock& clock = m_tracker.Clock();
  m_schedule.StartWindow(clock.Now(), m_source.m_nRetryMinutes);
  std::string cachedFile;
  std::string body;
  while (m_schedule.Waiting() > 0 && !Ended()) {
    const CRunClock::Clock::time_point due = m_schedule.NextDue();
    if (!m_schedule.WithinWindow(due)) break;
    auto showWait = [&] {
      const auto left = std::chrono::ceil<std::chrono::seconds>(due - clock.Now());
      m_tracker.ShowWaiting(static_cast<std::int64_t>(m_schedule.Waiting()),
                            std::max<std::int64_t>(left.count(), 0));
    };
    if (due > clock.Now()) {
      showWait();
      if (!clock.WaitUntil(due, [this] { return m_tracker.StopAsked(); }, showWait)) {
        m_summary.m_bStopped = true;
        break;
      }
      m_tracker.ShowWaiting(0, 0);
    }
    if (!m_tracker.ReadyAgain()) {
      m_summary.m_bStopped = true;
      break;
    }
    std::optional<RetryItem> item = m_schedule.TakeNext();
    if (!item) break;
    if (item->m_strMailFile != cachedFile) {
      cachedFile = item->m_strMailFile;
      if (!m_readMail(item->m_mailFile, body)) {
        EndRun(T().m_strCannotOpenMail);
        m_schedule.Add(std::move(*item), clock.Now());
        break;
      }
      NormalizeLineEnds(body);
    }
    Deliver(item->m_strMailFile, body, std::move(item->m_recipients), item->m_nAttempts + 1,
            item->m_bUncertain);
  }
}

void CKeepGoingRun::GiveUpRetries() {
  for (const RetryItem& item : m_schedule.TakeAll()) {
    for (std::size_t i = 0; i < item.m_recipients.size(); ++i) {
      Final(item.m_strMailFile, item.m_recipients[i], RecipientResult::Temporary, item.m_replies[i],
            item.m_nAttempts, item.m_bUncertain);
    }
  }
}

void CKeepGoingRun::Final(const std::string& mailFile, const MailRecipient& recipient,
                          RecipientResult result, const std::string& reply, int attempts,
                          bool uncertain) {
  m_record.Row(mailFile, recipient.m_strName, recipient.m_strAddress, result,
               uncertain ? reply + T().m_strUncertain : reply, attempts);
  if (result == RecipientResult::Delivered) {
    ++m_summary.m_nDelivered;
    m_bAnyDelivered = true;
  } else if (IsUndelivered(result)) {
    ++m_summary.m_nUndelivered;
  }
  ShowCounts();
}

void CKeepGoingRun::EndRun(const std::string& error) {
  if (Ended()) return;
  m_summary.m_bFailed = true;
  m_summary.m_strError = error;
}

void CKeepGoingRun::ShowCounts() {
  m_tracker.ShowCounts(m_summary.m_nDelivered, m_summary.m_nUndelivered);
}
