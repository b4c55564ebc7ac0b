// One message through one SMTP session, with the account as the run holds
// it: connect (by its security mode, with its login), send, disconnect.
#pragma once

#include <string>

#include "settings/smtp_account.h"
#include "smtp/mail_item.h"
#include "smtp/smtp_outcome.h"

struct MessageTarget {
  CSmtpAccount m_account;
  unsigned int m_nPort = 0;  // 0: the account's port
  std::string m_strStartDir;  // code page; a relative CA file is found under it
  bool m_bKeepGoing = false;  // the keep-going conversation (CSMTP::SetKeepGoing)
};

// Sends `item` (its sender is set from the account). True when every step
// succeeded; otherwise `error` holds the session's text. `log`, when given,
// receives what the server said.
bool SendOneMessage(const MessageTarget& target, CMailItem& item, std::string& error,
                    SmtpSessionLog* log = nullptr);
