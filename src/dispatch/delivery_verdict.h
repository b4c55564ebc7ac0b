// What one session's replies mean for a run that goes past failures: the
// outcome for each recipient of the message, whether the message failed for
// a temporary reason (the run then holds back before the next one), and
// whether the run must end because nothing would get through.
#pragma once

#include <string>
#include <vector>

#include "smtp/mail_item.h"
#include "smtp/smtp_outcome.h"

// The final outcome of one mail file x recipient, as the record names it.
enum class RecipientResult {
  Delivered,  // 已送达
  Refused,    // 被拒收: the server said no for good
  Temporary,  // 暂时失败: still failing when the retries ended
  NotSent,    // 未发送: the run ended or was stopped before it
  Excluded,   // 已排除: in the exclusion file
  Duplicate,  // 重复: the same address earlier in the run for the same mail file
};

// The record's word for `result`, in the code page.
const std::string& ResultText(RecipientResult result);
// The result a record's word names; false for a word that names none.
bool ResultFromText(const std::string& text, RecipientResult& result);
// Whether `result` counts as not delivered (refused, temporary, not sent).
bool IsUndelivered(RecipientResult result);
// Whether sending again what did not arrive sends to it: still failing or
// not sent; never refused, where the server has said no for good.
bool IsWorthRetrying(RecipientResult result);

struct RecipientVerdict {
  std::string m_strAddress;
  std::string m_strName;
  // Delivered, Refused or Temporary (worth trying again later).
  RecipientResult m_result = RecipientResult::Temporary;
  std::string m_strReply;  // the server's last reply for it, or the failure's text
};

struct SessionVerdict {
  std::vector<RecipientVerdict> m_recipients;
  // The run must end: the account or the server is wrong (m_strError says how).
  bool m_bEndRun = false;
  std::string m_strError;
  // The message as a whole failed for a temporary reason (connection, MAIL,
  // DATA, the reply after the dot, 421): hold back before the next message.
  bool m_bTemporaryFailure = false;
  // The connection went after the final dot and before its reply: the
  // server may have taken the message.
  bool m_bUncertain = false;
  bool m_bSlowDown = false;  // a reply asked the run to slow down
  bool AnyDelivered() const;
};

// Judges one session that sent to `recipients`. `reachedBefore`: some message of the run got through
// already; when none has and the server cannot be reached at all, the run
// ends as in the stopping mode. `error` is the session's own error text.
SessionVerdict JudgeSession(const SmtpSessionLog& log, const std::vector<MailRecipient>& recipients,
                            const std::string& error, bool reachedBefore);
