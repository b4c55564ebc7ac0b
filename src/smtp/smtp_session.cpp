#include "smtp/smtp_session.h"

#include <cctype>
#include <cstring>

#include "platform/codepage.h"
#include "smtp/base64.h"

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

// The session's own messages, in the program's code page.
struct SessionTexts {
  std::string m_strNoSocket = platform::FromUtf8("无法建立socket.");
  std::string m_strNoConnection = platform::FromUtf8("无法连接邮件服务器.");
  std::string m_strNoResponse = platform::FromUtf8("邮件服务器无响应.");
  std::string m_strNeedsLogin = platform::FromUtf8("邮件服务器(SMTP)需要验证.");
  std::string m_strLoginRefused = platform::FromUtf8("邮件服务器(SMTP)验证失败.");
  std::string m_strNoRecipients = platform::FromUtf8("邮件没有收件人.");
};

const SessionTexts& Texts() {
  static const SessionTexts texts;
  return texts;
}

SmtpTimeouts& ProcessTimeouts() {
  static SmtpTimeouts timeouts;
  return timeouts;
}

// The number "%d" reads from the first three characters of a reply (white
// space, a sign, digits); 0 when they hold none, as an empty reply from a
// closed connection or a text.
int ReplyCode(const char* reply) {
  const char* const end = reply + 3;  // the buffer always holds more than three bytes
  const char* at = reply;
  while (at < end && *at != '\0' && std::isspace(static_cast<unsigned char>(*at))) ++at;
  bool negative = false;
  if (at < end && (*at == '+' || *at == '-')) negative = *at++ == '-';
  int code = 0;
  for (; at < end && *at >= '0' && *at <= '9'; ++at) code = code * 10 + (*at - '0');
  return negative ? -code : code;
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

std::string CSMTP::GetErrorText() const { return m_strError; }
std::string CSMTP::GetServer() const { return m_strServer; }
unsigned int CSMTP::GetPort() const { return m_nPort; }

bool CSMTP::Connect() {
  if (m_bConnected) return true;
  m_bConnected = 1;
  m_bStalled = false;
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
  if (!ExpectReply(ReplyGreeting)) {
    m_strError = Texts().m_strNoResponse;
    CloseSocket();
    return false;
  }
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
  if (!m_bStalled &&
      !m_socket.Send({item.m_strHeader, kMailerLine, "\r\n", item.m_strBody, "\r\n.\r\n"},
                     m_timeouts.m_nReplyMs) &&
      m_socket.TimedOut()) {
    m_bStalled = true;
  }
  return ExpectReplyWithin(ReplyOk, m_timeouts.m_nDataEndMs);
}

bool CSMTP::Disconnect() {
  if (!m_bConnected) return true;
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
  m_bEsmtp = std::strstr(m_szReply, "ESMTP") != nullptr;
  return m_bEsmtp != 0;
}

// One receive into the cleared reply buffer. A closed connection gives an
// empty reply; a failure or a time-out gives false.
bool CSMTP::ReceiveReply(int timeoutMs) {
  std::memset(m_szReply, 0, sizeof m_szReply);
  if (m_bStalled) return false;
  if (m_socket.Receive(m_szReply, kReplySize, timeoutMs) >= 0) return true;
  if (m_socket.TimedOut()) m_bStalled = true;
  return false;
}

// Sends one command; its result shows in the next reply read.
void CSMTP::SendText(std::string_view text) {
  if (m_bStalled) return;
  if (!m_socket.Send(text, m_timeouts.m_nReplyMs) && m_socket.TimedOut()) m_bStalled = true;
}

void CSMTP::CloseSocket() {
  m_socket.Close();
  m_bConnected = 0;
}
