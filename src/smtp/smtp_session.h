// One SMTP connection and the conversation for each message it carries: one
// command, one reply, one expected reply code; in the EHLO modes, when the
// server offers PIPELINING, MAIL, every RCPT and DATA go out in one write and
// their replies are still read and checked one by one, in order. Failures
// come back as false with a one-line error text in the program's code page.
#pragma once

#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/net.h"
#include "platform/tls.h"
#include "smtp/mail_item.h"
#include "smtp/smtp_outcome.h"

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

// How a session opens its conversation and protects it.
enum SmtpSecurityMode {
  SecurityNone = 0,       // plain text, HELO; login by AUTH LOGIN as it always went
  SecurityStartTls = 1,   // EHLO, STARTTLS (required), EHLO again over TLS
  SecurityTls = 2,        // TLS from the first byte, then EHLO
  SecurityPlainEhlo = 3,  // plain text, EHLO (HELO when refused), AUTH only when offered
};

struct SmtpSecurity {
  int m_nMode = SecurityNone;
  std::string m_strCaFile;  // "" or a PEM file of extra authorities (TLS modes)
};

struct SmtpLogin {
  int m_bLogin = 0;  // log in (AUTH LOGIN; in the EHLO modes PLAIN or LOGIN as offered)
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
  void SetSecurity(const SmtpSecurity& security);
  // The conversation of a run that goes past failures: a 421 or a lost
  // answer to RCPT ends the transaction, and a message none of whose
  // recipients was accepted sends RSET instead of DATA. Off by default.
  void SetKeepGoing(bool keepGoing);
  bool Connect();
  // Whether MAIL, RCPT and DATA may go out in one write when the server's EHLO
  // reply offers PIPELINING (EHLO modes only). On by default.
  void SetPipelining(bool allowed);
  // A recipient refused while the server takes the message for the others
  // makes SendMail false after the message went, its error text naming the
  // recipient and the reply. Called again after a message, it sends the next
  // one on the same connection (RSET first when the previous transaction
  // failed), with a log and an error text of its own.
  // An item sent before (on another connection) goes as the same bytes,
  // without being prepared twice (CMailItem::m_bWireReady).
  bool SendMail(CMailItem& item);
  // The message the next SendMail sends on this connection, told before the
  // current one: when the server pipelines, its MAIL, RCPT and DATA follow
  // the current message's final dot in the same write, if `stillWanted`
  // (asked just before that write) says so. Once they went (SentAhead) the
  // next SendMail must be for `next`. nullptr for none.
  void AnnounceNext(CMailItem* next, std::function<bool()> stillWanted = {});
  // Whether the commands of `item` went out after the last message's dot.
  bool SentAhead(const CMailItem& item) const { return m_pAhead == &item; }
  // Whether the connection can carry another message: open, in step, and the
  // server has neither closed it nor said it is closing (421).
  bool CanCarryAnother() const;
  // Whether the server ended the connection (closed it, reset it or answered
  // 421), as opposed to a wait that timed out or was given up.
  bool ServerLeft() const { return m_bServerLeft; }
  // Whether the transactions of this connection are pipelined.
  bool Pipelines() const;
  // The messages begun on this connection.
  int MessagesBegun() const { return m_nMessages; }
  bool Disconnect();

  std::string GetErrorText() const;
  // What the server said so far, step by step and per recipient.
  SmtpSessionLog Log() const;
  std::string GetServer() const;
  unsigned int GetPort() const;
  // Whether the TLS handshake of this session resumed an earlier session.
  bool TlsResumed() const;

  // For tests: the waits of every session created afterwards; returns the
  // ones in force before. Production code keeps the defaults.
  static SmtpTimeouts SetTimeouts(const SmtpTimeouts& timeouts);

 protected:
  // Builds the item's header, drops the NUL bytes of its body, brings the
  // body to CR LF line ends, escapes its dot lines and ends it with CR LF.
  // A body that comes ready for the wire (m_wireBody) is left as it is.
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
  // RCPT TO for each recipient, noting each reply; false when the
  // transaction cannot go on (keep-going conversation only).
  bool AskRecipients(CMailItem& item);
  // The steps of SendTransaction after MAIL went out.
  bool RunTransaction(CMailItem& item);

 private:
  static constexpr std::size_t kReplySize = 1024;
  static constexpr int kServiceClosing = 421;

  // What the server's EHLO reply offers.
  struct Extensions {
    bool m_bStartTls = false;
    bool m_bAuthPlain = false;
    bool m_bAuthLogin = false;
    bool m_bPipelining = false;
  };

  // SendMail once the item is in the wire's form.
  bool SendPrepared(CMailItem& item);
  bool ExpectReplyWithin(ReplyKind kind, int timeoutMs);
  bool ReceiveReply(int timeoutMs);
  // The EHLO modes: reads one whole reply, all its lines, however many
  // receives it takes; the bytes after it wait for the next call.
  bool ReceiveWholeReply(int timeoutMs);
  void SendText(std::string_view text);
  // A command of the transaction: sent now, unless it went out with the
  // pipelined group whose replies are being read.
  void Command(std::string_view text);
  // MAIL, every RCPT and DATA in one write; their replies are still to come.
  void SendPipelinedGroup(CMailItem& item);
  // The text of that group, and how many commands it holds.
  static std::string PipelinedGroup(const CMailItem& item, int& commands);
  // The announced next message's group, prepared, when it may follow the
  // final dot now ("" when not).
  std::string GroupAhead(int& commands);
  // Brings the item to the wire's form once (PrepareMessage).
  bool MakeWireReady(CMailItem& item);
  // Reads the replies of a pipelined group still outstanding after the
  // transaction ended early, so the next reply answers the next command; the
  // log and the error text stay as they are.
  void DrainPipeline();
  // Before another message: RSET when the last transaction did not end.
  bool BeginAnother();
  // Notes what a reply just read says about the connection.
  void NoteReply();
  // A wait timed out or was abandoned: the conversation is out of step.
  void NoteStall();
  // Sends over TLS once it runs, else over the socket; marks a stalled send.
  bool Transmit(std::span<const std::string_view> parts, int timeoutMs);
  bool Transmit(std::initializer_list<std::string_view> parts, int timeoutMs) {
    return Transmit(std::span<const std::string_view>(parts.begin(), parts.size()), timeoutMs);
  }
  bool LogIn();
  // The EHLO modes after the greeting: EHLO, STARTTLS, login.
  bool OpenExtended();
  // EHLO, or HELO when the server refuses EHLO and `helloFallback` allows it.
  bool Hello(bool helloFallback);
  bool StartTls();
  bool LogInOffered();
  // One step of a login: the reply must carry `code`.
  bool ExpectLoginStep(int code);
  // Ends a failed opening: QUIT when the conversation is still in step, then
  // closes; keeps the error text. Always false.
  bool Abandon();
  void CloseSocket();
  // Notes the step in progress as the session's failure (the first only).
  void NoteFailure(SmtpFailure failure);
  // Notes a reply that asks the client to slow down.

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
  // Declared after the socket: it sends its closing alert through it.
  platform::CTlsClient m_tls;
  SmtpSecurity m_security;
  Extensions m_extensions;
  std::string m_strWholeReply;  // the last whole reply (EHLO modes)
  std::string m_strPending;     // bytes received after it
  // The last reply; one byte more than a receive can fill keeps it terminated.
  char m_szReply[kReplySize + 1] = {};
  // Set when a wait timed out: the conversation is out of step, so later
  // receives fail at once instead of waiting again.
  bool m_bStalled = false;
  // Set when the stall was the socket's abandon check giving up the wait.
  bool m_bAbandoned = false;
  SmtpTimeouts m_timeouts;
  bool m_bKeepGoing = false;
  SmtpStep m_step = SmtpStep::None;  // the step whose reply comes next
  bool m_bPipeliningAllowed = true;
  int m_nMessages = 0;             // messages begun on this connection
  bool m_bOpenTransaction = false;  // MAIL went out and no final reply ended it
  bool m_bServerLeft = false;       // closed, reset or 421
  int m_nUnanswered = 0;            // pipelined commands whose replies are still to be read
  CMailItem* m_pNext = nullptr;     // announced to follow the current message
  std::function<bool()> m_nextWanted;
  CMailItem* m_pAhead = nullptr;    // whose commands followed the last final dot
  int m_nAheadCommands = 0;         // and how many they were
  SmtpSessionLog m_log;
};
