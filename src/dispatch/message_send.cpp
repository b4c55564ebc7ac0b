#include "dispatch/message_send.h"

#include <utility>

#include "platform/dirs.h"
#include "smtp/smtp_session.h"

namespace {

std::unique_ptr<CSMTP> MakeSession(const MessageTarget& target) {
  const CSmtpAccount& account = target.m_account;
  auto smtp = std::make_unique<CSMTP>(account.m_strServer,
                                      target.m_nPort != 0 ? target.m_nPort : account.Port());
  SmtpSecurity security;
  security.m_nMode = account.Security();
  security.m_strCaFile = account.m_strCaFile;
  if (!security.m_strCaFile.empty() && !target.m_strStartDir.empty()) {
    security.m_strCaFile = platform::ResolveUnder(target.m_strStartDir, security.m_strCaFile);
  }
  smtp->SetSecurity(security);
  smtp->SetKeepGoing(target.m_bKeepGoing);
  if (account.m_bAuth) {
    SmtpLogin login;
    login.m_bLogin = 1;
    login.m_strUser = account.m_strName;
    login.m_strPassword = account.m_strPassword;
    smtp->SetLogin(login);
  }
  return smtp;
}

// Whether a message that failed on a connection carrying earlier ones failed
// only because the server left it before the message began: it goes again,
// on a new connection.
bool LeftBeforeTheMessage(const CSMTP& smtp) {
  const SmtpSessionLog log = smtp.Log();
  return smtp.MessagesBegun() > 1 && smtp.ServerLeft() && log.m_failedStep == SmtpStep::Mail;
}

bool SameTarget(const MessageTarget& a, const MessageTarget& b) {
  const CSmtpAccount& x = a.m_account;
  const CSmtpAccount& y = b.m_account;
  return a.m_nPort == b.m_nPort && a.m_strStartDir == b.m_strStartDir &&
         a.m_bKeepGoing == b.m_bKeepGoing && x.m_strServer == y.m_strServer &&
         x.m_strMail == y.m_strMail && x.m_strName == y.m_strName &&
         x.m_strPassword == y.m_strPassword && x.m_bAuth == y.m_bAuth && x.Port() == y.Port() &&
         x.Security() == y.Security() && x.m_strCaFile == y.m_strCaFile &&
         x.MessagesPerConnection() == y.MessagesPerConnection();
}

}  // namespace

bool SendOneMessage(const MessageTarget& target, CMailItem& item, std::string& error,
                    SmtpSessionLog* log) {
  std::unique_ptr<CSMTP> smtp = MakeSession(target);
  item.m_strSender = target.m_account.m_strMail;
  const bool sent = smtp->Connect() && smtp->SendMail(item) && smtp->Disconnect();
  if (!sent) error = smtp->GetErrorText();
  if (log != nullptr) *log = smtp->Log();
  return sent;
}

CMessageSender::~CMessageSender() { Finish(); }

bool CMessageSender::Send(const MessageTarget& target, CMailItem& item, std::string& error,
                          SmtpSessionLog* log, CMailItem* next, std::function<bool()> nextWanted) {
  if (!SameTarget(target, m_target)) {
    Finish();
    m_target = target;
  }
  const int perConnection = m_target.m_account.MessagesPerConnection();
  if (perConnection <= 1) {
    ++m_nOpened;
    return SendOneMessage(m_target, item, error, log);
  }
  item.m_strSender = m_target.m_account.m_strMail;
  if (m_smtp && (m_smtp->MessagesBegun() >= perConnection || !m_smtp->CanCarryAnother())) {
    Finish();
  }
  // The message after this one may follow its dot when the connection has
  // room for both.
  auto send = [&] {
    const bool room = next != nullptr && m_smtp->MessagesBegun() + 2 <= perConnection;
    if (room) next->m_strSender = m_target.m_account.m_strMail;
    m_smtp->AnnounceNext(room ? next : nullptr, nextWanted);
    return m_smtp->SendMail(item);
  };
  bool sent = false;
  if (m_smtp) {
    sent = send();
    if (!sent && LeftBeforeTheMessage(*m_smtp)) {
      // Nothing of the message went past MAIL: the server has not taken it.
      // It goes again, as it is, on a new connection.
      m_smtp.reset();
    }
  }
  if (!m_smtp) {
    m_smtp = MakeSession(m_target);
    ++m_nOpened;
    if (m_smtp->Connect()) sent = send();
  }
  if (!sent) error = m_smtp->GetErrorText();
  if (log != nullptr) *log = m_smtp->Log();
  if (!m_smtp->CanCarryAnother()) Finish();
  return sent;
}

bool CMessageSender::WentAhead(const CMailItem& next) const {
  return m_smtp != nullptr && m_smtp->SentAhead(next);
}

void CMessageSender::Finish() {
  if (!m_smtp) return;
  m_smtp->Disconnect();
  m_smtp.reset();
}
