// One SMTP conversation for one message, in lock-step: one command, one
// receive, one expected reply code. Failures come back as false with a
// one-line error text in the program's code page.
#pragma once

#include <string>
#include <string_view>

#include "platform/net.h"
#include "smtp/mail_item.h"

// Rows of the reply table: the code each step expects.
enum ReplyKind {
  ReplyOk = 0,         // 250
  ReplyGreeting = 1,   // 220
  ReplyStartData = 2,  // 354
  ReplyClosing = 3,    // 221
};

// How long a session waits for the network, in milliseconds.
struct SmtpTimeouts {
  int m_nConnectMs = 30 * 1000;        // to open the connection
  int m_nReplyMs = 5 * 60 * 1000;      // for the greeting and each reply (and a stalled send)
  int m_nDataEndMs = 10 * 60 * 1000;   // for the reply after the message's final dot
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

  // For tests: the waits of every session created afterwards; returns the
  // ones in force before. Production code keeps the defaults.
  static SmtpTimeouts SetTimeouts(const SmtpTimeouts& timeouts);

 protected:
  // Builds the item's header, drops the NUL bytes of its body, brings the
  // body to CR LF line ends, escapes its dot lines and ends it with CR LF.
  // False without recipients.
  virtual bool PrepareMessage(CMailItem& item);

  // One receive; true when the reply's code is the one `kind` expects.
  bool ExpectReply(ReplyKind kind);
  // One receive; the reply text, whatever its code.
  bool ReadReply(std::string& reply);
  // Whether the last reply (the greeting) names ESMTP; sets the flag.
  bool DetectEsmtp();
  // MAIL From, RCPT TO for each recipient, DATA and the message.
  bool SendTransaction(CMailItem& item);

 private:
  static constexpr std::size_t kReplySize = 1024;

  bool ExpectReplyWithin(ReplyKind kind, int timeoutMs);
  bool ReceiveReply(int timeoutMs);
  void SendText(std::string_view text);
  bool LogIn();
  void CloseSocket();

  int m_bLogin = 0;
  std::string m_strUser;
  std::string m_strPassword;
  int m_bEsmtp = 0;
  std::string m_strError;
  int m_bConnected = 0;
  unsigned int m_nPort = 0;
  std::string m_strMailer;
  std::string m_strServer;
  platform::CTcpSocket m_socket;
  // The last reply; one byte more than a receive can fill keeps it terminated.
  char m_szReply[kReplySize + 1] = {};
  // Set when a wait timed out: the conversation is out of step, so later
  // receives fail at once instead of waiting again.
  bool m_bStalled = false;
  SmtpTimeouts m_timeouts;
};
