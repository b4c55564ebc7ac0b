// Messages through SMTP sessions, with the account as the run holds it:
// SendOneMessage for one message in a session of its own, CMessageSender for
// the messages of a run, which in modes 1-3 share connections.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "settings/smtp_account.h"
#include "smtp/mail_item.h"
#include "smtp/smtp_outcome.h"
#include "smtp/smtp_session.h"

struct MessageTarget {
  CSmtpAccount m_account;
  unsigned int m_nPort = 0;  // 0: the account's port
  std::string m_strStartDir;  // code page; a relative CA file is found under it
  bool m_bKeepGoing = false;  // the keep-going conversation (CSMTP::SetKeepGoing)
};

// Sends `item` (its sender is set from the account): connect, send,
// disconnect. True when every step succeeded; otherwise `error` holds the
// session's text. `log`, when given, receives what the server said.
bool SendOneMessage(const MessageTarget& target, CMailItem& item, std::string& error,
                    SmtpSessionLog* log = nullptr);

// The messages of one run, one after another. In mode 0, and with "reuse"
// 1, each goes as SendOneMessage sends it. Otherwise a connection carries up
// to the account's MessagesPerConnection() messages, then QUIT and a new one;
// a connection the server closed, reset or answered 421 on between two
// messages is no failure: the message goes on a new connection. What each
// message reports (result, error text, log) is what a session of its own
// would have reported.
class CMessageSender {
 public:
  CMessageSender() = default;
  ~CMessageSender();
  CMessageSender(const CMessageSender&) = delete;
  CMessageSender& operator=(const CMessageSender&) = delete;

  // Sends `item` as SendOneMessage does, on the open connection when it was
  // opened for the same target (else that one is closed first). `next`, when
  // given, is the message the following Send sends: over a pipelining server
  // its commands may follow this message's dot (`nextWanted` asked just
  // before); once they did (WentAhead) the following Send must be for it.
  bool Send(const MessageTarget& target, CMailItem& item, std::string& error,
            SmtpSessionLog* log = nullptr, CMailItem* next = nullptr,
            std::function<bool()> nextWanted = {});
  // Whether the commands of `next` went out after the last message's dot.
  bool WentAhead(const CMailItem& next) const;
  // QUIT on the open connection, if any.
  void Finish();
  // Connections opened so far.
  int ConnectionsOpened() const { return m_nOpened; }
  // Whether a connection is open between messages.
  bool HoldsConnection() const { return m_smtp != nullptr; }

 private:
  MessageTarget m_target;
  std::unique_ptr<CSMTP> m_smtp;  // the open connection, between messages
  int m_nOpened = 0;
};
