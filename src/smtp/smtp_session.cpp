#include "smtp/smtp_session.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/codepage.h"
#include "smtp/base64.h"
#include "smtp/mime_header.h"
#include "smtp/smtp_reply.h"

namespace {

struct ReplyRow {
  int m_nCode;
  const char* m_szMessage;
};

// The code each step expects and the message its failure reports, by ReplyKind.
constexpr ReplyRow kReplyTable[] = {
    {250, "SMTP server error"},
    {220, "SMTP server not available"},
    {354, "SMTP server not ready for data"},
    {221, "SMTP server didn't terminate session"},
};

const char kSocketError[] = "Socket Error";
const char kMustBeConnected[] = "Must be connected";
const char kMailerLine[] = "X-Mailer: CSMTP class for MFC\r\n";
// How long the QUIT to a server given up on may wait to go out.
constexpr int kQuitAfterAbandonMs = 1000;

// The session's own messages, in the program's code page.
struct SessionTexts {
  std::string m_strNoSocket = platform::FromUtf8("无法建立socket.");
  std::string m_strNoConnection = platform::FromUtf8("无法连接邮件服务器.");
  std::string m_strNoResponse = platform::FromUtf8("邮件服务器无响应.");
  std::string m_strNeedsLogin = platform::FromUtf8("邮件服务器(SMTP)需要验证.");
  std::string m_strLoginRefused = platform::FromUtf8("邮件服务器(SMTP)验证失败.");
  std::string m_strNoRecipients = platform::FromUtf8("邮件没有收件人.");
  std::string m_strNoStartTls = platform::FromUtf8("邮件服务器不支持安全连接(STARTTLS).");
  std::string m_strNoAuth = platform::FromUtf8("邮件服务器不支持验证.");
  std::string m_strTlsFailed = platform::FromUtf8("安全连接失败: ");
  std::string m_strStartTlsRefused = platform::FromUtf8("服务器拒绝STARTTLS ");
};

// A reply of the EHLO modes may not grow beyond this while it is read.
constexpr std::size_t kWholeReplyLimit = 64 * 1024;
// The receive size of the EHLO modes.
constexpr std::size_t kReceiveChunk = 4096;

const SessionTexts& Texts() {
  static const SessionTexts texts;
  return texts;
}

SmtpTimeouts& ProcessTimeouts() {
  static SmtpTimeouts timeouts;
  return timeouts;
}

// The length of the first whole reply in `text`: every line up to and
// including the one without "-" after its code; 0 while it is incomplete.
std::size_t WholeReplyLength(const std::string& text) {
  std::size_t start = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
    const bool more = lf - start >= 4 && text[start + 3] == '-';
    start = lf + 1;
    if (!more) return start;
  }
  return 0;
}

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

CSMTP::CSMTP(std::string server, unsigned int port)
    : m_strError("OK"),
      m_nPort(port),
      m_strMailer("ZQ Mail"),
      m_strServer(std::move(server)),
      m_timeouts(ProcessTimeouts()) {
  platform::StartNetwork();
}

CSMTP::~CSMTP() {
  if (m_bConnected) Disconnect();
}

SmtpTimeouts CSMTP::SetTimeouts(const SmtpTimeouts& timeouts) {
  SmtpTimeouts previous = ProcessTimeouts();
  ProcessTimeouts() = timeouts;
  return previous;
}

void CSMTP::SetLogin(const SmtpLogin& login) {
  m_bLogin = login.m_bLogin;
  m_strUser = login.m_strUser;
  m_strPassword = login.m_strPassword;
}

void CSMTP::SetSecurity(const SmtpSecurity& security) {
  m_security = security;
  if (m_security.m_nMode < SecurityNone || m_security.m_nMode > SecurityPlainEhlo) {
    m_security.m_nMode = SecurityNone;
  }
}

bool CSMTP::TlsResumed() const { return m_tls.Resumed(); }

std::string CSMTP::GetErrorText() const { return m_strError; }
std::string CSMTP::GetServer() const { return m_strServer; }
unsigned int CSMTP::GetPort() const { return m_nPort; }

bool CSMTP::Connect() {
  if (m_bConnected) return true;
  m_bConnected = 1;
  m_bStalled = false;
  m_bAbandoned = false;
  m_strPending.clear();
  m_extensions = Extensions{};
  if (!m_socket.Create()) {
    m_strError = Texts().m_strNoSocket;
    m_bConnected = 0;
    return false;
  }
  if (!m_socket.Connect(m_strServer, m_nPort, m_timeouts.m_nConnectMs)) {
    m_strError = Texts().m_strNoConnection;
    CloseSocket();
    return false;
  }
  if (m_security.m_nMode == SecurityTls && !StartTls()) return false;
  if (!ExpectReply(ReplyGreeting)) {
    m_strError = Texts().m_strNoResponse;
    CloseSocket();
    return false;
  }
  if (m_security.m_nMode != SecurityNone) return OpenExtended();
  DetectEsmtp();
  std::string host = platform::LocalHostName(80);
  if (host.empty()) host = "localhost";
  SendText("HELO " + host + "\r\n");
  if (!ExpectReply(ReplyOk)) {
    CloseSocket();
    return false;
  }
  if (m_bEsmtp && !m_bLogin) {
    // The socket stays open until the object goes; no QUIT is sent.
    m_strError = Texts().m_strNeedsLogin;
    m_bConnected = 0;
    return false;
  }
  if (m_bLogin) return LogIn();
  return true;
}

// AUTH LOGIN: only the reply to the password decides.
bool CSMTP::LogIn() {
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
    m_bConnected = 0;
  }
  return m_bConnected != 0;
}

bool CSMTP::OpenExtended() {
  if (!Hello(true)) return Abandon();
  if (m_security.m_nMode == SecurityStartTls) {
    if (!m_extensions.m_bStartTls) {
      m_strError = Texts().m_strNoStartTls;
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
    if (!Hello(false)) return Abandon();
  }
  if (!m_bLogin) return true;
  if (!m_extensions.m_bAuthPlain && !m_extensions.m_bAuthLogin) {
    m_strError = Texts().m_strNoAuth;
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
  SendText("HELO " + host + "\r\n");
  return ExpectReply(ReplyOk);
}

bool CSMTP::StartTls() {
  const platform::TlsTarget target{m_strServer, m_nPort, m_security.m_strCaFile};
  if (m_tls.Handshake(m_socket, target, m_timeouts.m_nReplyMs)) return true;
  m_strError = Texts().m_strTlsFailed + m_tls.FailureReason();
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
    return false;
  }
  if (ReplyCode(m_szReply) == code) return true;
  m_strError = Texts().m_strLoginRefused;
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

bool CSMTP::SendMail(CMailItem& item) {
  if (!m_bConnected) {
    m_strError = kMustBeConnected;
    return false;
  }
  if (!PrepareMessage(item)) return false;
  return SendTransaction(item);
}

bool CSMTP::PrepareMessage(CMailItem& item) {
  if (!item.BuildHeader()) {
    m_strError = Texts().m_strNoRecipients;
    return false;
  }
  std::string& body = item.m_strBody;
  RemoveNulBytes(body);
  NormalizeLineEnds(body, 2);
  if (item.m_bBase64Body) {
    body = mime::Base64Lines(body);  // no line begins with a dot
    return true;
  }
  item.EscapeBody();
  if (body.size() < 2 || body.compare(body.size() - 2, 2, "\r\n") != 0) body += "\r\n";
  return true;
}

bool CSMTP::SendTransaction(CMailItem& item) {
  if (!m_bConnected) {
    m_strError = kMustBeConnected;
    return false;
  }
  SendText("MAIL From: <" + WithoutLineBreaks(item.m_strSender) + ">\r\n");
  if (!ExpectReply(ReplyOk)) return false;
  std::string address;
  std::string name;
  for (int i = 0; item.GetRecipient(address, name, i); ++i) {
    SendText("RCPT TO: <" + WithoutLineBreaks(address) + ">\r\n");
    ExpectReply(ReplyOk);  // a refused recipient does not stop the transaction
  }
  SendText("DATA\r\n");
  if (!ExpectReply(ReplyStartData)) return false;
  // Header, mailer line, blank line, body and terminator in one gathered
  // send: the same bytes as five sends, without copying the body.
  Transmit({item.m_strHeader, kMailerLine, "\r\n", item.m_strBody, "\r\n.\r\n"},
           m_timeouts.m_nReplyMs);
  return ExpectReplyWithin(ReplyOk, m_timeouts.m_nDataEndMs);
}

bool CSMTP::Disconnect() {
  if (!m_bConnected) return true;
  if (m_bAbandoned) {
    // The wait was given up (a run being stopped, the server silent): QUIT
    // goes out without waiting for its answer, and the connection closes.
    if (m_tls.IsOpen()) {
      m_tls.Send({"QUIT\r\n"}, kQuitAfterAbandonMs);
    } else {
      m_socket.Send("QUIT\r\n", kQuitAfterAbandonMs);
    }
    CloseSocket();
    return false;
  }
  SendText("QUIT\r\n");
  bool closed = ExpectReply(ReplyClosing);
  CloseSocket();
  return closed;
}

bool CSMTP::ExpectReply(ReplyKind kind) { return ExpectReplyWithin(kind, m_timeouts.m_nReplyMs); }

bool CSMTP::ExpectReplyWithin(ReplyKind kind, int timeoutMs) {
  if (!ReceiveReply(timeoutMs)) {
    m_strError = kSocketError;
    return false;
  }
  const ReplyRow& row = kReplyTable[kind];
  const int code = ReplyCode(m_szReply);
  if (code == row.m_nCode) return true;
  m_strError = std::to_string(code) + ":" + row.m_szMessage;
  return false;
}

bool CSMTP::ReadReply(std::string& reply) {
  if (!ReceiveReply(m_timeouts.m_nReplyMs)) {
    m_strError = kSocketError;
    return false;
  }
  reply = m_szReply;
  return true;
}

bool CSMTP::DetectEsmtp() {
  m_bEsmtp = GreetingNamesEsmtp(m_szReply);
  return m_bEsmtp != 0;
}

// One receive into the cleared reply buffer. A closed connection gives an
// empty reply; a failure or a time-out gives false.
bool CSMTP::ReceiveReply(int timeoutMs) {
  if (m_security.m_nMode != SecurityNone) return ReceiveWholeReply(timeoutMs);
  std::memset(m_szReply, 0, sizeof m_szReply);
  if (m_bStalled) return false;
  if (m_socket.Receive(m_szReply, kReplySize, timeoutMs) >= 0) return true;
  if (m_socket.TimedOut()) NoteStall();
  return false;
}

// A closed connection gives an empty reply, as in ReceiveReply; so does a
// reply cut off by the close (its code still counts).
bool CSMTP::ReceiveWholeReply(int timeoutMs) {
  std::memset(m_szReply, 0, sizeof m_szReply);
  m_strWholeReply.clear();
  if (m_bStalled) return false;
  while (WholeReplyLength(m_strPending) == 0) {
    if (m_strPending.size() > kWholeReplyLimit) return false;
    char chunk[kReceiveChunk];
    const long got = m_tls.IsOpen() ? m_tls.Receive(chunk, sizeof chunk, timeoutMs)
                                    : m_socket.Receive(chunk, sizeof chunk, timeoutMs);
    if (got < 0) {
      if (m_tls.IsOpen() ? m_tls.TimedOut() : m_socket.TimedOut()) NoteStall();
      return false;
    }
    if (got == 0) {
      m_strPending.swap(m_strWholeReply);
      m_strPending.clear();
      break;
    }
    m_strPending.append(chunk, static_cast<std::size_t>(got));
  }
  if (m_strWholeReply.empty() && !m_strPending.empty()) {
    const std::size_t length = WholeReplyLength(m_strPending);
    m_strWholeReply = m_strPending.substr(0, length);
    m_strPending.erase(0, length);
  }
  const std::size_t kept = std::min(m_strWholeReply.size(), kReplySize);
  std::memcpy(m_szReply, m_strWholeReply.data(), kept);
  return true;
}

// Sends one command; its result shows in the next reply read.
void CSMTP::SendText(std::string_view text) { Transmit({text}, m_timeouts.m_nReplyMs); }

bool CSMTP::Transmit(std::initializer_list<std::string_view> parts, int timeoutMs) {
  // No command is sent ahead of a reply, so bytes still waiting here are a
  // reply nobody asked for: the replies no longer answer the commands, and
  // going on could take an answer to one command for another's.
  if (!m_strPending.empty()) m_bStalled = true;
  if (m_bStalled) return false;
  const bool sent = m_tls.IsOpen() ? m_tls.Send(parts, timeoutMs) : m_socket.Send(parts, timeoutMs);
  if (!sent && (m_tls.IsOpen() ? m_tls.TimedOut() : m_socket.TimedOut())) NoteStall();
  return sent;
}

void CSMTP::NoteStall() {
  m_bStalled = true;
  if (m_socket.Abandoned()) m_bAbandoned = true;
}

void CSMTP::CloseSocket() {
  m_tls.Close(m_bStalled ? 0 : m_timeouts.m_nReplyMs);
  m_socket.Close();
  m_bConnected = 0;
}
