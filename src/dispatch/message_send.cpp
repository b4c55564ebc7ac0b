#include "dispatch/message_send.h"

#include "platform/dirs.h"
#include "smtp/smtp_session.h"

bool SendOneMessage(const MessageTarget& target, CMailItem& item, std::string& error,
                    SmtpSessionLog* log) {
  const CSmtpAccount& account = target.m_account;
  CSMTP smtp(account.m_strServer, target.m_nPort != 0 ? target.m_nPort : account.Port());
  SmtpSecurity security;
  security.m_nMode = account.Security();
  security.m_strCaFile = account.m_strCaFile;
  if (!security.m_strCaFile.empty() && !target.m_strStartDir.empty()) {
    security.m_strCaFile = platform::ResolveUnder(target.m_strStartDir, security.m_strCaFile);
  }
  smtp.SetSecurity(security);
  smtp.SetKeepGoing(target.m_bKeepGoing);
  item.m_strSender = account.m_strMail;
  if (account.m_bAuth) {
    SmtpLogin login;
    login.m_bLogin = 1;
    login.m_strUser = account.m_strName;
    login.m_strPassword = account.m_strPassword;
    smtp.SetLogin(login);
  }
  const bool sent = smtp.Connect() && smtp.SendMail(item) && smtp.Disconnect();
  if (!sent) error = smtp.GetErrorText();
  if (log != nullptr) *log = smtp.Log();
  return sent;
}
