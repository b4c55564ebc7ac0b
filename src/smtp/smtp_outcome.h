// What the server said during one session, step by step and per recipient,
// so that the caller can tell a refused recipient from a temporary failure
// and from an account that cannot work at all. The session fills it in; it
// decides nothing.
#pragma once

#include <string>
#include <vector>

// The step of a session a reply answers.
enum class SmtpStep {
  None,      // nothing failed
  Connect,   // opening the TCP connection
  Greeting,  // the server's first reply
  Hello,     // HELO or EHLO
  StartTls,  // STARTTLS and its handshake, or TLS from the first byte
  Login,     // AUTH
  Mail,      // MAIL From
  Rcpt,      // RCPT TO
  Data,      // DATA
  Message,   // the reply after the message's final dot
  Quit,      // QUIT
};

// How a step failed.
enum class SmtpFailure {
  None,
  Reply,    // the server answered with another code (m_nCode, m_strReply)
  Network,  // no answer: the connection refused, cut or timing out
  Local,    // the session could not go on: STARTTLS or AUTH missing, TLS failed, no recipients
};

struct SmtpRecipientReply {
  std::string m_strAddress;
  std::string m_strName;
  int m_nCode = 0;         // 0: never asked (the session ended before) or no answer
  std::string m_strReply;  // the server's line, or "" when it said nothing
  bool Accepted() const { return m_nCode / 100 == 2; }
};

struct SmtpSessionLog {
  SmtpStep m_failedStep = SmtpStep::None;
  SmtpFailure m_failure = SmtpFailure::None;
  int m_nCode = 0;         // the failed step's reply code (0 without one)
  std::string m_strReply;  // its reply line, or the session's error text without one
  bool m_bTimedOut = false;  // a Network failure whose wait ran out (not a refusal or a cut)
  std::vector<SmtpRecipientReply> m_recipients;  // in the order of the item
  bool m_bMessageSent = false;      // the final dot went out
  bool m_bMessageAccepted = false;  // and the server took the message (2xx)
  int m_nMessageCode = 0;
  std::string m_strMessageReply;  // the reply after the final dot
  // A reply that asked the client to slow down (SaysSlowDown) came during the session.
  bool m_bSlowDown = false;
};
