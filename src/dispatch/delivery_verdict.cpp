#include "dispatch/delivery_verdict.h"

#include "platform/codepage.h"

namespace {

constexpr int kServiceClosing = 421;

struct ResultTexts {
  std::string m_text[6] = {
      platform::FromUtf8("已送达"), platform::FromUtf8("被拒收"), platform::FromUtf8("暂时失败"),
      platform::FromUtf8("未发送"), platform::FromUtf8("已排除"), platform::FromUtf8("重复"),
  };
};

const ResultTexts& Texts() {
  static const ResultTexts texts;
  return texts;
}

bool Permanent(int code) { return code / 100 == 5; }

// Steps whose failure means that nothing of the run would get through: the
// greeting, HELO/EHLO, STARTTLS/TLS and the login, and a refused sender.
bool AccountStep(SmtpStep step) {
  return step == SmtpStep::Greeting || step == SmtpStep::Hello || step == SmtpStep::StartTls ||
         step == SmtpStep::Login;
}

// The server could not be reached: no connection, or no greeting.
bool Unreachable(const SmtpSessionLog& log) {
  return log.m_failure == SmtpFailure::Network &&
         (log.m_failedStep == SmtpStep::Connect || log.m_failedStep == SmtpStep::Greeting);
}

}  // namespace

const std::string& ResultText(RecipientResult result) {
  return Texts().m_text[static_cast<int>(result)];
}

bool ResultFromText(const std::string& text, RecipientResult& result) {
  for (int i = 0; i < 6; ++i) {
    if (Texts().m_text[i] == text) {
      result = static_cast<RecipientResult>(i);
      return true;
    }
  }
  return false;
}

bool IsUndelivered(RecipientResult result) {
  return result == RecipientResult::Refused || result == RecipientResult::Temporary ||
         result == RecipientResult::NotSent;
}

bool IsWorthRetrying(RecipientResult result) {
  return result == RecipientResult::Temporary || result == RecipientResult::NotSent;
}

bool SessionVerdict::AnyDelivered() const {
  for (const RecipientVerdict& recipient : m_recipients) {
    if (recipient.m_result == RecipientResult::Delivered) return true;
  }
  return false;
}

SessionVerdict JudgeSession(const SmtpSessionLog& log, const std::vector<MailRecipient>& recipients,
                            const std::string& error, bool reachedBefore) {
  SessionVerdict verdict;
  verdict.m_bSlowDown = log.m_bSlowDown;
  const bool closing = log.m_failure == SmtpFailure::Reply && log.m_nCode == kServiceClosing;
  // What stands for the message as a whole: the reply after the dot, else
  // the failed step's reply (or the session's text without one).
  RecipientResult whole = RecipientResult::Temporary;
  // (a failure after the message was taken, at QUIT, changes nothing for it).
  std::string wholeReply = log.m_bMessageAccepted || log.m_failure == SmtpFailure::None
                               ? log.m_strMessageReply
                               : log.m_strReply;
  if (wholeReply.empty()) wholeReply = error;

  if (log.m_bMessageAccepted) {
    whole = RecipientResult::Delivered;
  } else if (log.m_failedStep == SmtpStep::Rcpt && log.m_failure == SmtpFailure::Reply &&
             !closing) {
    // Nobody was accepted: each recipient's own reply decides.
    whole = RecipientResult::Temporary;
  } else if (closing) {
    verdict.m_bTemporaryFailure = true;
  } else if (log.m_failure == SmtpFailure::Local && log.m_failedStep == SmtpStep::Rcpt) {
    whole = RecipientResult::Refused;  // nothing to send to (an unusable address line)
  } else if ((AccountStep(log.m_failedStep) && log.m_failure != SmtpFailure::Network) ||
             (log.m_failedStep == SmtpStep::Mail && Permanent(log.m_nCode)) ||
             (Unreachable(log) && !reachedBefore)) {
    verdict.m_bEndRun = true;
    verdict.m_strError = error;
  } else if ((log.m_failedStep == SmtpStep::Message || log.m_failedStep == SmtpStep::Data) &&
             Permanent(log.m_nCode)) {
    whole = RecipientResult::Refused;  // content refused, too large
  } else {
    verdict.m_bTemporaryFailure = true;
    // After the dot, anything but a refusal leaves open whether the server
    // took the message: no answer, or one that is no reply at all.
    verdict.m_bUncertain = log.m_failedStep == SmtpStep::Message && log.m_bMessageSent &&
                           (log.m_failure == SmtpFailure::Network || log.m_nCode / 100 != 4);
  }

  for (std::size_t i = 0; i < recipients.size(); ++i) {
    const SmtpRecipientReply asked =
        i < log.m_recipients.size() ? log.m_recipients[i] : SmtpRecipientReply();
    RecipientVerdict recipient{recipients[i].m_strAddress, recipients[i].m_strName, whole,
                               wholeReply};
    if (asked.m_nCode != 0 && !asked.Accepted()) {
      // Its own refusal decides, whatever became of the message.
      recipient.m_result = Permanent(asked.m_nCode) ? RecipientResult::Refused
                                                    : RecipientResult::Temporary;
      recipient.m_strReply = asked.m_strReply;
    } else if (asked.m_nCode == 0 && whole == RecipientResult::Delivered) {
      recipient.m_result = RecipientResult::Temporary;  // never asked
    }
    verdict.m_recipients.push_back(std::move(recipient));
  }
  return verdict;
}
