#include "dispatch/keep_going_run.h"

#include <utility>

#include "dispatch/run_mail.h"
#include "dispatch/run_report.h"
#include "dispatch/run_tracker.h"
#include "platform/codepage.h"

namespace {

struct KeepGoingTexts {
  std::string m_strInARow = platform::FromUtf8("连续 ");
  std::string m_strStopped = platform::FromUtf8(" 封邮件未能送达, 发送停止. ");
  std::string m_strUncertain = platform::FromUtf8(" (结果不明, 已重发)");
  std::string m_strCannotOpenMail = platform::FromUtf8("无法打开邮件文件.");
  std::string m_strNotInTable = platform::FromUtf8("地址表中已没有这个地址");
};

const KeepGoingTexts& T() {
  static const KeepGoingTexts texts;
  return texts;
}

}  // namespace

CKeepGoingRun::CKeepGoingRun(CRunTracker& tracker, const CMailSource& source, MessageTarget target,
                             CSendRecord& record, CRunMail& mail)
    : m_tracker(tracker),
      m_source(source),
      m_target(std::move(target)),
      m_record(record),
      m_mail(mail) {
  m_target.m_bKeepGoing = true;
}

void CKeepGoingRun::LimitTo(std::map<std::string, std::vector<std::string>> lines) {
  m_bLimited = true;
  m_limit = std::move(lines);
}

KeepGoingSummary CKeepGoingRun::Run() {
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
    item.m_nRow = m_mail.RowOf(item.m_recipients.front().m_strAddress);
    if (m_mail.List().Table() != nullptr && item.m_nRow == 0) {
      // Without its row its fields would go out unfilled.
      for (const MailRecipient& recipient : item.m_recipients) {
        Final(item.m_strMailFile, recipient, RecipientResult::NotSent, T().m_strNotInTable, 0);
      }
      continue;
    }
    item.m_replies.assign(item.m_recipients.size(), std::string());
    m_schedule.Add(std::move(item), dueNow);
  }
  if (m_target.m_account.Connections() > 1) {
    m_pool = std::make_unique<CConnectionPool>(
        m_target, m_target.m_account.Connections(), [this] { return m_tracker.StopLevel(); },
        [this](const std::vector<PoolResult>& results) { Collect(results); });
    m_tracker.SetIdleWork([this] { m_pool->TakeResults(); });
  }
  for (std::size_t i = 0; i < m_mail.Mail().size(); ++i) {
    if (!Ended() && m_tracker.SkipFile()) continue;
    if (!Ended() && !m_tracker.Ready()) m_summary.m_bStopped = true;
    SendMailFile(i);
  }
  EndPool();
  // The retries come after a wait: no connection is held open through it.
  m_sender.Finish();
  if (!Ended()) RetryPhase();
  m_sender.Finish();
  GiveUpRetries();
  m_tracker.ShowWaiting(0, 0);
  return m_summary;
}

void CKeepGoingRun::SendMailFile(std::size_t index) {
  m_filter.BeginMailFile();
  const std::string& name = m_mail.Mail()[index].m_strName;
  if (!Ended()) {
    ++m_summary.m_nMailCount;
    m_summary.m_nAddressCount = 0;
  }
  if (m_bLimited) {
    // A line of the record names one recipient; with a table it goes with
    // the row that holds its address.
    for (const std::string& line : m_limit[name]) {
      CMailItem parsed;
      parsed.AddRecipientList(line);
      const int row = m_mail.List().Table() == nullptr || parsed.Recipients().empty()
                          ? 0
                          : m_mail.RowOf(parsed.Recipients().front().m_strAddress);
      if (m_mail.List().Table() != nullptr && row == 0) {
        // Gone from the table since: its fields are not known any more.
        for (const MailRecipient& recipient : parsed.Recipients()) {
          Final(name, recipient, RecipientResult::NotSent, T().m_strNotInTable, 0);
        }
        continue;
      }
      SendLine(index, line, row);
    }
    return;
  }
  addresses::CAddressSource& list = m_mail.List();
  if (std::string error; index > 0 && !list.Rewind(error)) {
    if (!Ended()) EndRun(error);
    return;
  }
  // One entry at a time, each sent before the next is read: a plain list is
  // never held whole.
  addresses::AddressEntry entry;
  while (list.Next(entry)) {
    SendLine(index, entry.m_strLine, entry.m_pFields != nullptr ? entry.m_nNumber : 0);
  }
}

void CKeepGoingRun::SendLine(std::size_t index, const std::string& line, int row) {
  const std::string& mailFile = m_mail.Mail()[index].m_strName;
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
  if (m_pool) m_pool->WaitForRoom();
  if (!Ended() && !m_tracker.Ready()) m_summary.m_bStopped = true;
  // A result dealt with while the run waited may have ended it as well.
  if (Ended()) {
    for (const MailRecipient& recipient : toSend) {
      Final(mailFile, recipient, RecipientResult::NotSent, std::string(), 0);
    }
    return;
  }
  Deliver(index, row, std::move(toSend), 1, false);
}

void CKeepGoingRun::Deliver(std::size_t index, int row, std::vector<MailRecipient> recipients,
                            int attempts, bool uncertain) {
  const RunMailFile& mail = m_mail.Mail()[index];
  CMailItem item;
  mail.m_template.Compose(m_mail.Fields(row), m_mail.SubjectOf(row, m_source.m_strSubject),
                          RunComposeOptions(m_source, m_target.m_account.m_strMail), item);
  for (const MailRecipient& recipient : recipients) {
    item.AddRecipient(recipient.m_strAddress, recipient.m_strName);
  }
  Attempt attempt{index, row, std::move(recipients), attempts, uncertain, m_tracker.Position()};
  if (m_pool && attempts == 1) {
    const std::uint64_t tag = m_nNextTag++;
    m_handedOver.emplace(tag, std::move(attempt));
    m_pool->Submit(tag, std::move(item));
    m_tracker.Dispatched();
    return;
  }
  std::string error;
  SmtpSessionLog log;
  m_sender.Send(m_target, item, error, &log);
  Judge(attempt, error, log, false);
}

void CKeepGoingRun::Collect(const std::vector<PoolResult>& results) {
  for (const PoolResult& result : results) {
    const auto found = m_handedOver.find(result.m_nTag);
    if (found == m_handedOver.end()) continue;
    Attempt attempt = std::move(found->second);
    m_handedOver.erase(found);
    if (result.m_bNotSent) {
      // A stop came before it began: not sent, and a continued run sends it.
      const std::string& mailFile = m_mail.Mail()[attempt.m_nIndex].m_strName;
      for (const MailRecipient& recipient : attempt.m_recipients) {
        Final(mailFile, recipient, RecipientResult::NotSent, std::string(), 0);
      }
      continue;
    }
    Judge(attempt, result.m_strError, result.m_log, true);
  }
}

void CKeepGoingRun::EndPool() {
  if (!m_pool) return;
  m_pool->Drain();
  m_pool->Finish();
  m_tracker.SetIdleWork(nullptr);
  m_pool.reset();
}

void CKeepGoingRun::Judge(const Attempt& attempt, const std::string& error,
                          const SmtpSessionLog& log, bool handedOver) {
  const std::string& mailFile = m_mail.Mail()[attempt.m_nIndex].m_strName;
  const std::vector<MailRecipient>& recipients = attempt.m_recipients;
  const int attempts = attempt.m_nAttempts;
  const int row = attempt.m_nRow;
  bool uncertain = attempt.m_bUncertain;
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
  retry.m_nRow = row;
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
  if (handedOver) {
    m_tracker.NoteAt(settled, pending,
                     firstTry ? std::optional<std::int64_t>(attempt.m_nPosition) : std::nullopt);
  } else {
    m_tracker.Note(settled, pending, firstTry);
  }
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
    const RunMailFile* mail = m_mail.FindMail(item->m_strMailFile);
    if (mail == nullptr) {
      // Queued by the run continued, for a mail file no longer in the folder.
      EndRun(T().m_strCannotOpenMail);
      m_schedule.Add(std::move(*item), clock.Now());
      break;
    }
    Deliver(static_cast<std::size_t>(mail - m_mail.Mail().data()), item->m_nRow,
            std::move(item->m_recipients), item->m_nAttempts + 1, item->m_bUncertain);
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
