// The conversation for one message: MAIL, RCPT for each recipient, DATA and
// the message, on a connection the opening has made ready.
#include <string>
#include <utility>
#include <vector>

#include "smtp/mime_header.h"
#include "smtp/smtp_reply.h"
#include "smtp/smtp_session.h"
#include "smtp/smtp_session_texts.h"

using namespace smtp_detail;

namespace {

const char kMailerLine[] = "X-Mailer: CSMTP class for MFC\r\n";

}  // namespace

bool CSMTP::SendMail(CMailItem& item) {
  if (!m_bConnected) {
    m_strError = kMustBeConnected;
    return false;
  }
  if (m_nMessages > 0) {
    m_log = SmtpSessionLog();
    m_strError = "OK";
  }
  if (!MakeWireReady(item)) return false;
  return SendPrepared(item);
}

bool CSMTP::MakeWireReady(CMailItem& item) {
  if (item.m_bWireReady) return true;
  if (!PrepareMessage(item)) return false;
  item.m_bWireReady = true;
  return true;
}

void CSMTP::AnnounceNext(CMailItem* next, std::function<bool()> stillWanted) {
  m_pNext = next;
  m_nextWanted = std::move(stillWanted);
}

bool CSMTP::SendPrepared(CMailItem& item) {
  if (!m_bConnected) {
    m_strError = kMustBeConnected;
    return false;
  }
  const bool another = m_nMessages > 0;
  ++m_nMessages;
  if (another && !BeginAnother()) return false;
  return SendTransaction(item);
}

void CSMTP::SetPipelining(bool allowed) { m_bPipeliningAllowed = allowed; }

bool CSMTP::Pipelines() const {
  return m_bPipeliningAllowed && m_extensions.m_bPipelining && m_security.m_nMode != SecurityNone;
}

bool CSMTP::CanCarryAnother() const {
  // Replies waiting are a reply nobody asked for, unless they answer the
  // commands sent ahead for the next message.
  return m_bConnected && !m_bStalled && !m_bServerLeft &&
         (m_strPending.empty() || m_pAhead != nullptr) && m_socket.IsOpen();
}

bool CSMTP::BeginAnother() {
  m_log = SmtpSessionLog();
  m_strError = "OK";
  if (!m_bOpenTransaction) return true;
  if (m_pAhead != nullptr) {
    // The next message's commands followed the last dot, whose reply ended
    // that transaction whatever it said: no RSET may come between them.
    m_bOpenTransaction = false;
    return true;
  }
  // Counted as the MAIL step: what fails here fails before the message began.
  m_step = SmtpStep::Mail;
  SendText("RSET\r\n");
  if (!ExpectReply(ReplyOk)) return false;
  m_bOpenTransaction = false;
  return true;
}

void CSMTP::Command(std::string_view text) {
  if (m_nUnanswered == 0) SendText(text);
}

std::string CSMTP::PipelinedGroup(const CMailItem& item, int& commands) {
  std::string group = "MAIL From: <" + WithoutLineBreaks(item.m_strSender) + ">\r\n";
  commands = 1;
  std::string address;
  std::string name;
  for (int i = 0; item.GetRecipient(address, name, i); ++i) {
    group += "RCPT TO: <" + WithoutLineBreaks(address) + ">\r\n";
    ++commands;
  }
  group += "DATA\r\n";
  ++commands;
  return group;
}

void CSMTP::SendPipelinedGroup(CMailItem& item) {
  int commands = 0;
  const std::string group = PipelinedGroup(item, commands);
  if (Transmit({group}, m_timeouts.m_nReplyMs)) m_nUnanswered = commands;
}

std::string CSMTP::GroupAhead(int& commands) {
  CMailItem* next = std::exchange(m_pNext, nullptr);
  commands = 0;
  if (next == nullptr || !Pipelines() || (m_nextWanted && !m_nextWanted())) return std::string();
  if (next->Recipients().empty() || !MakeWireReady(*next)) return std::string();
  return PipelinedGroup(*next, commands);
}

void CSMTP::DrainPipeline() {
  if (m_nUnanswered == 0) return;
  const std::string error = m_strError;
  while (m_nUnanswered > 0 && !m_bStalled && !m_bServerLeft) {
    const bool dataReply = m_nUnanswered == 1;
    if (!ReceiveReply(m_timeouts.m_nReplyMs)) break;
    // DATA taken although the transaction failed before it: an empty
    // message ends it, and RSET clears it before the next one.
    if (dataReply && ReplyCode(m_szReply) == kReplyTable[ReplyStartData].m_nCode) {
      SendText(".\r\n");
      ReceiveReply(m_timeouts.m_nDataEndMs);
    }
  }
  m_nUnanswered = 0;
  m_strError = error;
}

bool CSMTP::PrepareMessage(CMailItem& item) {
  if (!item.BuildHeader()) {
    m_strError = Texts().m_strNoRecipients;
    m_step = SmtpStep::Rcpt;
    NoteFailure(SmtpFailure::Local);
    return false;
  }
  if (!item.m_wireBody.empty()) return true;
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
  m_step = SmtpStep::Mail;
  m_bOpenTransaction = true;
  if (m_pAhead == &item) {
    // Its commands followed the last message's dot: their replies come next.
    m_nUnanswered = m_nAheadCommands;
  } else if (Pipelines()) {
    SendPipelinedGroup(item);
  } else {
    SendText("MAIL From: <" + WithoutLineBreaks(item.m_strSender) + ">\r\n");
  }
  m_pAhead = nullptr;
  m_nAheadCommands = 0;
  const bool sent = RunTransaction(item);
  DrainPipeline();
  // An announcement holds for one transaction only.
  m_pNext = nullptr;
  m_nextWanted = nullptr;
  return sent;
}

bool CSMTP::RunTransaction(CMailItem& item) {
  if (!ExpectReply(ReplyOk)) return false;
  if (!AskRecipients(item)) return false;
  // The first recipient the server would not take, named in the error text.
  std::string refusal;
  for (const SmtpRecipientReply& recipient : m_log.m_recipients) {
    if (recipient.m_nCode == 0 || recipient.Accepted()) continue;
    refusal = Texts().m_strRecipient + WithoutLineBreaks(recipient.m_strAddress) +
              (recipient.m_nCode / 100 == 4 ? Texts().m_strTemporary : Texts().m_strRefused) +
              recipient.m_strReply;
    break;
  }
  m_step = SmtpStep::Data;
  Command("DATA\r\n");
  if (!ExpectReply(ReplyStartData)) {
    if (!refusal.empty()) m_strError = refusal + "; " + m_strError;
    return false;
  }
  // Header, mailer line, blank line, body and terminator in one gathered
  // send: the same bytes as five sends, without copying the body.
  // A body ready for the wire goes the same way, piece by piece from the
  // memory the pieces share with other messages.
  m_step = SmtpStep::Message;
  CMailItem* next = m_pNext;
  int aheadCommands = 0;
  const std::string ahead = GroupAhead(aheadCommands);
  std::vector<std::string_view> parts{item.m_strHeader, kMailerLine, "\r\n"};
  if (item.m_wireBody.empty()) {
    parts.emplace_back(item.m_strBody);
  } else {
    parts.reserve(parts.size() + item.m_wireBody.size() + 2);
    for (const auto& piece : item.m_wireBody) {
      if (piece) parts.emplace_back(*piece);
    }
  }
  parts.emplace_back("\r\n.\r\n");
  if (!ahead.empty()) parts.emplace_back(ahead);
  m_log.m_bMessageSent = Transmit(parts, m_timeouts.m_nReplyMs);
  if (m_log.m_bMessageSent && !ahead.empty()) {
    m_pAhead = next;
    m_nAheadCommands = aheadCommands;
  }
  const bool accepted = ExpectReplyWithin(ReplyOk, m_timeouts.m_nDataEndMs);
  m_log.m_nMessageCode = ReplyCode(m_szReply);
  m_log.m_strMessageReply = ReplyLine(m_szReply);
  m_log.m_bMessageAccepted = accepted;
  if (!accepted) return false;
  m_bOpenTransaction = false;
  // The message went to the others; the refusal still ends the call as a failure.
  if (!refusal.empty()) {
    m_strError = refusal;
    return false;
  }
  return true;
}

bool CSMTP::AskRecipients(CMailItem& item) {
  m_step = SmtpStep::Rcpt;
  std::string address;
  std::string name;
  for (int i = 0; item.GetRecipient(address, name, i); ++i) {
    m_log.m_recipients.push_back(SmtpRecipientReply{address, name, 0, std::string()});
  }
  bool anyAccepted = false;
  for (SmtpRecipientReply& recipient : m_log.m_recipients) {
    Command("RCPT TO: <" + WithoutLineBreaks(recipient.m_strAddress) + ">\r\n");
    const bool answered = ReceiveReply(m_timeouts.m_nReplyMs);
    recipient.m_nCode = answered ? ReplyCode(m_szReply) : 0;
    recipient.m_strReply = answered ? ReplyLine(m_szReply) : std::string();
    anyAccepted = anyAccepted || recipient.Accepted();
    if (!m_bKeepGoing) continue;  // a refused recipient does not stop the transaction
    if (!answered || recipient.m_nCode == 0) {
      m_strError = kSocketError;
      NoteFailure(SmtpFailure::Network);
      return false;
    }
    if (recipient.m_nCode == kServiceClosing) {
      // The server is closing the connection: the rest are not asked.
      m_strError = std::to_string(recipient.m_nCode) + ":" + kReplyTable[ReplyOk].m_szMessage;
      NoteFailure(SmtpFailure::Reply);
      return false;
    }
  }
  if (!m_bKeepGoing || anyAccepted) return true;
  // Nobody to send to: no DATA, the transaction is reset and QUIT follows.
  const SmtpRecipientReply& last = m_log.m_recipients.back();
  m_strError = Texts().m_strRecipient + WithoutLineBreaks(last.m_strAddress) +
               (last.m_nCode / 100 == 4 ? Texts().m_strTemporary : Texts().m_strRefused) +
               last.m_strReply;
  m_log.m_failedStep = SmtpStep::Rcpt;
  m_log.m_failure = SmtpFailure::Reply;
  m_log.m_nCode = last.m_nCode;
  m_log.m_strReply = last.m_strReply;
  DrainPipeline();
  SendText("RSET\r\n");
  if (ReceiveReply(m_timeouts.m_nReplyMs) && ReplyCode(m_szReply) / 100 == 2) {
    m_bOpenTransaction = false;
  }
  return false;
}
