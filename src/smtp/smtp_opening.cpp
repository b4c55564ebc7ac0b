// The opening of a session: the connection, the greeting, HELO or EHLO,
// STARTTLS and the login, by security mode.
#include <cctype>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "smtp/base64.h"
#include "smtp/smtp_reply.h"
#include "smtp/smtp_session.h"
#include "smtp/smtp_session_texts.h"

namespace {

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Splits `text` at blanks.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(" \t", at);
    if (start == std::string::npos) break;
    std::size_t end = text.find_first_of(" \t", start);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    at = end;
  }
  return words;
}

}  // namespace

using namespace smtp_detail;

bool CSMTP::Connect() {
  if (m_bConnected) return true;
  m_bConnected = 1;
  m_bStalled = false;
  m_bAbandoned = false;
  m_strPending.clear();
  m_extensions = Extensions{};
  m_log = SmtpSessionLog();
  m_nMessages = 0;
  m_bOpenTransaction = false;
  m_bServerLeft = false;
  m_nUnanswered = 0;
  m_pAhead = nullptr;
  m_nAheadCommands = 0;
  m_step = SmtpStep::Connect;
  if (!m_socket.Create()) {
    m_strError = Texts().m_strNoSocket;
    NoteFailure(SmtpFailure::Local);
    m_bConnected = 0;
    return false;
  }
  if (!m_socket.Connect(m_strServer, m_nPort, m_timeouts.m_nConnectMs)) {
    m_strError = Texts().m_strNoConnection;
    NoteFailure(SmtpFailure::Network);
    CloseSocket();
    return false;
  }
  m_step = SmtpStep::StartTls;
  if (m_security.m_nMode == SecurityTls && !StartTls()) return false;
  m_step = SmtpStep::Greeting;
  if (!ExpectReply(ReplyGreeting)) {
    m_strError = Texts().m_strNoResponse;
    CloseSocket();
    return false;
  }
  if (m_security.m_nMode != SecurityNone) return OpenExtended();
  DetectEsmtp();
  std::string host = platform::LocalHostName(80);
  if (host.empty()) host = "localhost";
  m_step = SmtpStep::Hello;
  SendText("HELO " + host + "\r\n");
  if (!ExpectReply(ReplyOk)) {
    CloseSocket();
    return false;
  }
  if (m_bEsmtp && !m_bLogin) {
    // The socket stays open until the object goes; no QUIT is sent.
    m_strError = Texts().m_strNeedsLogin;
    NoteFailure(SmtpFailure::Local);
    m_bConnected = 0;
    return false;
  }
  if (m_bLogin) return LogIn();
  return true;
}

// AUTH LOGIN: only the reply to the password decides.
bool CSMTP::LogIn() {
  m_step = SmtpStep::Login;
  std::string reply;
  SendText("AUTH LOGIN\r\n");
  ReadReply(reply);
  SendText(Base64Encode(m_strUser) + "\r\n");
  ReadReply(reply);
  SendText(Base64Encode(m_strPassword) + "\r\n");
  if (!ReadReply(reply)) {
    m_bConnected = 0;
  } else if (reply.compare(0, 3, "235") != 0) {
    m_strError = Texts().m_strLoginRefused;
    NoteFailure(SmtpFailure::Reply);
    m_bConnected = 0;
  }
  return m_bConnected != 0;
}

bool CSMTP::OpenExtended() {
  m_step = SmtpStep::Hello;
  if (!Hello(true)) return Abandon();
  if (m_security.m_nMode == SecurityStartTls) {
    m_step = SmtpStep::StartTls;
    if (!m_extensions.m_bStartTls) {
      m_strError = Texts().m_strNoStartTls;
      NoteFailure(SmtpFailure::Local);
      return Abandon();
    }
    SendText("STARTTLS\r\n");
    if (!ExpectReply(ReplyGreeting)) {
      if (m_strError != kSocketError) {
        m_strError = Texts().m_strTlsFailed + Texts().m_strStartTlsRefused +
                     WithoutLineBreaks(m_strWholeReply);
      }
      return Abandon();
    }
    // Whatever came after the reply was sent before the handshake: never
    // take it as an answer given over TLS.
    m_strPending.clear();
    if (!StartTls()) return false;
    m_step = SmtpStep::Hello;
    if (!Hello(false)) return Abandon();
  }
  if (!m_bLogin) return true;
  m_step = SmtpStep::Login;
  if (!m_extensions.m_bAuthPlain && !m_extensions.m_bAuthLogin) {
    m_strError = Texts().m_strNoAuth;
    NoteFailure(SmtpFailure::Local);
    return Abandon();
  }
  if (!LogInOffered()) return Abandon();
  return true;
}

bool CSMTP::Hello(bool helloFallback) {
  std::string host = platform::LocalHostName(80);
  if (host.empty()) host = "localhost";
  m_extensions = Extensions{};
  SendText("EHLO " + host + "\r\n");
  if (ExpectReply(ReplyOk)) {
    std::size_t start = 0;
    for (std::size_t end; start < m_strWholeReply.size(); start = end + 1) {
      end = m_strWholeReply.find('\n', start);
      if (end == std::string::npos) end = m_strWholeReply.size();
      if (end - start < 4) continue;
      std::string line = m_strWholeReply.substr(start + 4, end - start - 4);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::vector<std::string> words = Words(UpperAscii(line));
      if (words.empty()) continue;
      if (words[0] == "STARTTLS") m_extensions.m_bStartTls = true;
      if (words[0] == "PIPELINING") m_extensions.m_bPipelining = true;
      // "AUTH PLAIN LOGIN", and the older "AUTH=LOGIN" form.
      if (words[0] == "AUTH" || words[0].compare(0, 5, "AUTH=") == 0) {
        if (words[0].size() > 5) words.push_back(words[0].substr(5));
        for (const std::string& word : words) {
          if (word == "PLAIN") m_extensions.m_bAuthPlain = true;
          if (word == "LOGIN") m_extensions.m_bAuthLogin = true;
        }
      }
    }
    return true;
  }
  const int code = ReplyCode(m_szReply);
  if (!helloFallback || (code != 500 && code != 502)) return false;
  // The fallback is a fresh try: its own answer decides.
  m_log.m_failure = SmtpFailure::None;
  m_log.m_failedStep = SmtpStep::None;
  SendText("HELO " + host + "\r\n");
  return ExpectReply(ReplyOk);
}

bool CSMTP::StartTls() {
  const platform::TlsTarget target{m_strServer, m_nPort, m_security.m_strCaFile};
  if (m_tls.Handshake(m_socket, target, m_timeouts.m_nReplyMs)) return true;
  m_strError = Texts().m_strTlsFailed + m_tls.FailureReason();
  NoteFailure(SmtpFailure::Local);
  CloseSocket();
  return false;
}

// AUTH PLAIN when offered, else AUTH LOGIN; every step is checked.
bool CSMTP::LogInOffered() {
  if (m_extensions.m_bAuthPlain) {
    std::string token;
    token += '\0';
    token += m_strUser;
    token += '\0';
    token += m_strPassword;
    SendText("AUTH PLAIN " + Base64Encode(token) + "\r\n");
    return ExpectLoginStep(235);
  }
  SendText("AUTH LOGIN\r\n");
  if (!ExpectLoginStep(334)) return false;
  SendText(Base64Encode(m_strUser) + "\r\n");
  if (!ExpectLoginStep(334)) return false;
  SendText(Base64Encode(m_strPassword) + "\r\n");
  return ExpectLoginStep(235);
}

bool CSMTP::ExpectLoginStep(int code) {
  if (!ReceiveReply(m_timeouts.m_nReplyMs)) {
    m_strError = kSocketError;
    NoteFailure(SmtpFailure::Network);
    return false;
  }
  if (ReplyCode(m_szReply) == code) return true;
  m_strError = Texts().m_strLoginRefused;
  NoteFailure(SmtpFailure::Reply);
  return false;
}

bool CSMTP::Abandon() {
  const std::string error = m_strError;
  if (m_socket.IsOpen() && !m_bStalled) {
    SendText("QUIT\r\n");
    ReceiveReply(m_timeouts.m_nReplyMs);
  }
  CloseSocket();
  m_strError = error;
  return false;
}

