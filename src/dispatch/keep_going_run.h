// A run that goes past failures: every mail file to every address line, each
// recipient's outcome judged from the server's replies (JudgeSession) and
// written to the record as it becomes final; refused recipients are passed
// by, temporary failures tried again after the first pass (CRetrySchedule),
// the run holds back after temporary failures and slows down when the server
// asks (CSendBackoff, CRateSlowdown), and it ends when the account cannot
// work or too many messages in a row did not arrive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/connection_pool.h"
#include "dispatch/delivery_verdict.h"
#include "dispatch/message_send.h"
#include "dispatch/recipient_filter.h"
#include "dispatch/retry_schedule.h"
#include "dispatch/send_backoff.h"
#include "dispatch/send_record.h"
#include "platform/dirs.h"
#include "settings/mail_source.h"

class CRunTracker;
class CRunMail;

struct KeepGoingSummary {
  std::int64_t m_nDelivered = 0;    // mail file x recipient
  std::int64_t m_nUndelivered = 0;  // refused, still failing or not sent
  bool m_bFailed = false;           // ended on a failure (m_strError)
  bool m_bStopped = false;
  std::string m_strError;
  std::int32_t m_nMailCount = 0;     // mail files reached
  std::int32_t m_nAddressCount = 0;  // address lines of the last one reached
};

class CKeepGoingRun {
 public:
  // `mail`: the mail files loaded and the list opened (CRunMail::Prepare).
  CKeepGoingRun(CRunTracker& tracker, const CMailSource& source, MessageTarget target,
                CSendRecord& record, CRunMail& mail);

  // Addresses never to send to; false when the file cannot be read.
  bool LoadExclusions(const std::filesystem::path& file) { return m_filter.LoadExclusions(file); }
  // Sends only these address lines, by mail file name, instead of the list;
  // with a table each goes with the fields of the row that holds its address.
  void LimitTo(std::map<std::string, std::vector<std::string>> lines);

  // The run over the mail files and the list.
  KeepGoingSummary Run();

 private:
  // Where the walk over the list stands: sending, or recording the rest as
  // not sent after the run ended.
  bool Ended() const { return m_summary.m_bFailed || m_summary.m_bStopped; }
  void SendMailFile(std::size_t index);
  // One address line of mail file `index`, with table row `row` (0: none):
  // filters its recipients, sends to the rest, records what became final and
  // queues what may still arrive.
  void SendLine(std::size_t index, const std::string& line, int row);
  // A message to `recipients` of mail file `index`, as the run holds it
  // until the server's replies are dealt with.
  struct Attempt {
    std::size_t m_nIndex = 0;
    int m_nRow = 0;
    std::vector<MailRecipient> m_recipients;
    int m_nAttempts = 1;
    bool m_bUncertain = false;
    std::int64_t m_nPosition = 0;  // its place in the run's order (first tries)
  };
  // One session to `recipients`; records and queues by the verdict. With
  // several connections a first try goes to the next free one and is dealt
  // with when its result comes in (Collect).
  void Deliver(std::size_t index, int row, std::vector<MailRecipient> recipients, int attempts,
               bool uncertain);
  // Records and queues what the server said to `attempt`; `handedOver`: it
  // went through the pool.
  void Judge(const Attempt& attempt, const std::string& error, const SmtpSessionLog& log,
             bool handedOver);
  // Deals with the results of messages handed to the pool.
  void Collect(const std::vector<PoolResult>& results);
  // The first pass is over: every message handed over is dealt with and the
  // pool's connections end.
  void EndPool();
  void RetryPhase();
  void Final(const std::string& mailFile, const MailRecipient& recipient, RecipientResult result,
             const std::string& reply, int attempts, bool uncertain = false);
  // Ends the run on a failure with `error`.
  void EndRun(const std::string& error);
  // Records the queued messages as still failing.
  void GiveUpRetries();
  void ShowCounts();

  CRunTracker& m_tracker;
  CMailSource m_source;
  MessageTarget m_target;
  CMessageSender m_sender;  // the run's connections (several messages each in modes 1-3)
  std::unique_ptr<CConnectionPool> m_pool;  // several connections at once ("connections")
  std::map<std::uint64_t, Attempt> m_handedOver;  // by the pool's tag
  std::uint64_t m_nNextTag = 0;
  CSendRecord& m_record;
  CRunMail& m_mail;
  CRecipientFilter m_filter;
  CRetrySchedule m_schedule;
  CSendBackoff m_backoff;
  CRateSlowdown m_slowdown;
  bool m_bLimited = false;
  std::map<std::string, std::vector<std::string>> m_limit;
  KeepGoingSummary m_summary;
  int m_nUndeliveredInARow = 0;
  bool m_bAnyDelivered = false;
};
