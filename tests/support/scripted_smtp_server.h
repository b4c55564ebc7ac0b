// A scripted SMTP server on 127.0.0.1 for tests: it plays a script of replies
// per session, records every byte each session receives, and serves sessions
// one after another on its own thread.
//
//   CScriptedSmtpServer server(CSmtpScript::Accepting());
//   CSMTP smtp(server.Host(), server.Port());
//   ... smtp.Connect(), SendMail(), Disconnect() ...
//   EXPECT_EQ(server.Received(0), "HELO ...");
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.h"

namespace testsupport {

// What the server does in one session, step by step. When the steps run out
// the server goes on reading (and recording) until the client closes, so an
// empty script is a server that never says a word.
class CSmtpScript {
 public:
  // Sends `bytes` as they stand, in one send. A reply that begins with "354"
  // makes the next Await() read a whole message up to its final dot line.
  CSmtpScript& Send(std::string bytes);
  // Sends `line` followed by CR LF.
  CSmtpScript& Line(const std::string& line) { return Send(line + "\r\n"); }
  // Waits for the client's next turn: one line ended by CR LF, or a message.
  CSmtpScript& Await();
  // Waits for a whole message up to its final dot line, whatever was sent
  // before (a 354 that went out in pieces or among other replies).
  CSmtpScript& AwaitMessage();
  // Await(), then Line(line): the answer to one command.
  CSmtpScript& Reply(const std::string& line) { return Await().Line(line); }
  CSmtpScript& Pause(std::chrono::milliseconds pause);
  // Closes the connection.
  CSmtpScript& Close();

  // The greeting line, then one Reply per further line.
  static CSmtpScript Replies(std::initializer_list<std::string> lines);
  // A server without "ESMTP" that accepts one message to `recipients`
  // recipients: 220, 250 (HELO), [334, 334, 235 for AUTH LOGIN when `login`],
  // 250 (MAIL), 250 per RCPT, 354, 250, 221.
  static CSmtpScript Accepting(int recipients = 1, bool login = false);
  // Accepting(), but only after `silence` without a word: a client waits on
  // it that long before the greeting.
  static CSmtpScript SlowAccepting(std::chrono::milliseconds silence);

 private:
  friend class CScriptedSmtpServer;
  enum class Kind { Send, Await, AwaitMessage, Pause, Close };
  struct Step {
    Kind m_kind;
    std::string m_strBytes;
    std::chrono::milliseconds m_pause{0};
  };
  std::vector<Step> m_steps;
};

class CScriptedSmtpServer {
 public:
  // Session i plays scripts[i]; sessions past the end play the last script.
  // The server listens on `port`, by default on a free port.
  explicit CScriptedSmtpServer(std::vector<CSmtpScript> scripts, unsigned int port = 0);
  explicit CScriptedSmtpServer(const CSmtpScript& script)
      : CScriptedSmtpServer(std::vector<CSmtpScript>{script}) {}
  ~CScriptedSmtpServer();
  CScriptedSmtpServer(const CScriptedSmtpServer&) = delete;
  CScriptedSmtpServer& operator=(const CScriptedSmtpServer&) = delete;

  std::string Host() const { return "127.0.0.1"; }
  unsigned int Port() const { return m_listener.Port(); }

  // Sessions accepted so far.
  int SessionCount() const;
  // When session `index` was accepted (the epoch of the steady clock for one
  // that never began).
  std::chrono::steady_clock::time_point SessionStart(int index) const;
  // Waits up to `wait` until at least `count` sessions have begun.
  bool WaitForSessions(int count, std::chrono::milliseconds wait = std::chrono::seconds(5)) const;
  // Waits up to `wait` until session `index` has ended (the client closed,
  // or the script closed); false when it has not.
  bool WaitForSessionEnd(int index, std::chrono::milliseconds wait = std::chrono::seconds(5)) const;
  // Every byte session `index` received, once it has ended (waiting as
  // WaitForSessionEnd does); "" for a session that never began.
  std::string Received(int index = 0, std::chrono::milliseconds wait = std::chrono::seconds(5)) const;
  // What session `index` has received so far, without waiting.
  std::string ReceivedSoFar(int index = 0) const;
  // The message session `index` sent after DATA, as it went on the wire,
  // without the final line holding one dot; "" when there was none.
  std::string ReceivedMessage(int index = 0) const;

  // A loopback port on which nothing listens (taken from a listener just closed).
  static unsigned int UnusedPort();

 private:
  struct Session {
    std::string m_strReceived;
    bool m_bEnded = false;
    std::chrono::steady_clock::time_point m_started;
  };

  void Serve();
  void Play(platform::CTcpSocket& peer, const CSmtpScript& script, int index);
  // Reads once into `pending` and the record; false when the session is over.
  bool ReadMore(platform::CTcpSocket& peer, std::string& pending, int index);

  std::vector<CSmtpScript> m_scripts;
  platform::CTcpListener m_listener;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<Session> m_sessions;
  std::atomic<bool> m_bStop{false};
  std::thread m_thread;
};

}  // namespace testsupport
