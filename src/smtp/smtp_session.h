// One SMTP conversation for one message, in lock-step: one command, one
// receive, one expected reply code. Failures come back as false with a
// one-line error text in the program's code page.
#pragma once

#include <string>

#include "smtp/mail_item.h"

// Rows of the reply table: the code each step expects.
enum ReplyKind {
  ReplyOk = 0,         // 250
  ReplyGreeting = 1,   // 220
  ReplyStartData = 2,  // 354
  ReplyClosing = 3,    // 221
};

struct SmtpLogin {
  int m_bLogin = 0;  // log in with AUTH LOGIN
  std::string m_strUser;
  std::string m_strPassword;
};

class CSMTP {
 public:
  CSMTP(std::string server, unsigned int port);
  virtual ~CSMTP();
  CSMTP(const CSMTP&) = delete;
  CSMTP& operator=(const CSMTP&) = delete;

  void SetLogin(const SmtpLogin& login);
  bool Connect();
  bool SendMail(CMailItem& item);
  bool Disconnect();

  std::string GetErrorText() const;
  std::string GetServer() const;
  unsigned int GetPort() const;

  // The helper that implements this class fills in the private part.
};
