#include "smtp/smtp_session.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/codepage.h"
#include "smtp/base64.h"
#include "smtp/mime_header.h"
#include "smtp/smtp_reply.h"
#include "smtp/smtp_session_texts.h"

namespace {

// How long the QUIT to a server given up on may wait to go out.
constexpr int kQuitAfterAbandonMs = 1000;

// A reply of the EHLO modes may not grow beyond this while it is read.
constexpr std::size_t kWholeReplyLimit = 64 * 1024;
// The receive size of the EHLO modes.
constexpr std::size_t kReceiveChunk = 4096;

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

}  // namespace

namespace smtp_detail {

const SessionTexts& Texts() {
  static const SessionTexts texts{
      platform::FromUtf8("无法建立socket."),
      platform::FromUtf8("无法连接邮件服务器."),
      platform::FromUtf8("邮件服务器无响应."),
      platform::FromUtf8("邮件服务器(SMTP)需要验证."),
      platform::FromUtf8("邮件服务器(SMTP)验证失败."),
      platform::FromUtf8("邮件没有收件人."),
      platform::FromUtf8("邮件服务器不支持安全连接(STARTTLS)."),
      platform::FromUtf8("邮件服务器不支持验证."),
      platform::FromUtf8("安全连接失败: "),
      platform::FromUtf8("服务器拒绝STARTTLS "),
      platform::FromUtf8("收件人 <"),
      platform::FromUtf8("> 被拒收: "),
      platform::FromUtf8("> 暂时失败: "),
  };
  return texts;
}

}  // namespace smtp_detail

using namespace smtp_detail;

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

void CSMTP::SetKeepGoing(bool keepGoing) { m_bKeepGoing = keepGoing; }

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

bool CSMTP::Disconnect() {
  if (!m_bConnected) return true;
  m_step = SmtpStep::Quit;
  if (m_pAhead != nullptr) {
    // A message's commands went ahead and it will not follow: a QUIT now
    // could be taken for its text. Closing without its final dot ends it
    // on the server's side with nothing delivered.
    m_pAhead = nullptr;
    CloseSocket();
    return false;
  }
  if (m_bAbandoned || (m_bServerLeft && m_security.m_nMode != SecurityNone)) {
    // The wait was given up (a run being stopped, the server silent), or the
    // server has left (closed, reset, 421): QUIT goes out without waiting for
    // its answer, and the connection closes.
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
    NoteFailure(SmtpFailure::Network);
    return false;
  }
  const ReplyRow& row = kReplyTable[kind];
  const int code = ReplyCode(m_szReply);
  if (code == row.m_nCode) return true;
  m_strError = std::to_string(code) + ":" + row.m_szMessage;
  // A closed connection answers with nothing: no reply, as a cut connection.
  NoteFailure(code == 0 && m_szReply[0] == '\0' ? SmtpFailure::Network : SmtpFailure::Reply);
  return false;
}

bool CSMTP::ReadReply(std::string& reply) {
  if (!ReceiveReply(m_timeouts.m_nReplyMs)) {
    m_strError = kSocketError;
    NoteFailure(SmtpFailure::Network);
    return false;
  }
  reply = m_szReply;
  return true;
}

void CSMTP::NoteFailure(SmtpFailure failure) {
  if (m_log.m_failure != SmtpFailure::None) return;
  m_log.m_failedStep = m_step;
  m_log.m_failure = failure;
  m_log.m_nCode = failure == SmtpFailure::Reply ? ReplyCode(m_szReply) : 0;
  m_log.m_strReply = failure == SmtpFailure::Reply ? ReplyLine(m_szReply) : std::string();
  m_log.m_bTimedOut = failure == SmtpFailure::Network && (m_bStalled || m_socket.TimedOut());
}

SmtpSessionLog CSMTP::Log() const {
  SmtpSessionLog log = m_log;
  // Without the server's words the session's own text says what failed.
  if (log.m_failure != SmtpFailure::None && log.m_strReply.empty()) log.m_strReply = m_strError;
  return log;
}

bool CSMTP::DetectEsmtp() {
  m_bEsmtp = GreetingNamesEsmtp(m_szReply);
  return m_bEsmtp != 0;
}

// One receive into the cleared reply buffer. A closed connection gives an
// empty reply; a failure or a time-out gives false.
bool CSMTP::ReceiveReply(int timeoutMs) {
  if (m_nUnanswered > 0) --m_nUnanswered;
  if (m_security.m_nMode != SecurityNone) return ReceiveWholeReply(timeoutMs);
  std::memset(m_szReply, 0, sizeof m_szReply);
  if (m_bStalled) return false;
  if (m_socket.Receive(m_szReply, kReplySize, timeoutMs) >= 0) {
    NoteReply();
    return true;
  }
  if (m_socket.TimedOut()) NoteStall();
  else m_bServerLeft = true;
  return false;
}

void CSMTP::NoteReply() {
  const int code = ReplyCode(m_szReply);
  if (SaysSlowDown(code, ReplyLine(m_szReply))) m_log.m_bSlowDown = true;
  if (code == kServiceClosing || m_szReply[0] == '\0') m_bServerLeft = true;
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
      else m_bServerLeft = true;
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
  NoteReply();
  return true;
}

// Sends one command; its result shows in the next reply read.
void CSMTP::SendText(std::string_view text) { Transmit({text}, m_timeouts.m_nReplyMs); }

bool CSMTP::Transmit(std::span<const std::string_view> parts, int timeoutMs) {
  // Every reply is read before the next command goes (a pipelined group is
  // sent whole after the replies before it), so bytes still waiting here are
  // a reply nobody asked for: the replies no longer answer the commands, and
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
