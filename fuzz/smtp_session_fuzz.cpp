// A whole session (Connect, SendMail, Disconnect) against a loopback server
// that answers each command with the next reply taken from the input, as one
// send: codes, texts, oversized, empty or NUL-laden replies in any order.
// Whatever the replies, nothing crashes or hangs; the session never claims a
// message sent unless the server received it whole with its final dot; and a
// greeting naming ESMTP never lets a plain session without login connect.
// The first byte picks the plain conversation or the EHLO mode, whose
// multi-line replies may come split over several sends or several in one;
// in the EHLO mode it may have the server offer PIPELINING (MAIL, RCPT and
// DATA then come in one write, still answered one reply per line) and send
// a second message on the same connection, after RSET when the first failed,
// its commands perhaps sent right after the first one's dot.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "fuzz_support.h"
#include "platform/net.h"
#include "smtp/smtp_reply.h"
#include "smtp/smtp_session.h"

namespace {

constexpr std::size_t kReplySize = 1024;  // what one receive of the session takes at most
constexpr int kServerWaitMs = 2000;

struct ServerRecord {
  std::string m_strReceived;  // every byte the session sent
  bool m_bMessageEnded = false;  // a message after DATA ended with its dot line
  int m_nMessagesEnded = 0;
};

// Serves one session on `listener`: the first reply at once, then one reply
// per command line, reading a whole message after a DATA answered by 354;
// closes when the replies run out.
void Serve(platform::CTcpListener& listener, const std::vector<std::string>& replies, ServerRecord& record) {
  platform::CTcpSocket peer;
  if (!listener.Accept(peer, kServerWaitMs)) return;
  std::size_t next = 0;
  std::string pending;
  bool inData = false;
  bool afterData = false;
  char buffer[16384];
  if (next < replies.size()) peer.Send(replies[next++], kServerWaitMs);
  while (next < replies.size()) {
    const std::string end = inData ? "\r\n.\r\n" : "\r\n";
    const std::size_t at = pending.find(end);
    if (at == std::string::npos) {
      const long n = peer.Receive(buffer, sizeof buffer, kServerWaitMs);
      if (n <= 0) return;
      pending.append(buffer, static_cast<std::size_t>(n));
      record.m_strReceived.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    const std::string turn = pending.substr(0, at);
    pending.erase(0, at + end.size());
    if (inData) {
      record.m_bMessageEnded = true;
      ++record.m_nMessagesEnded;
    }
    afterData = !inData && turn == "DATA";
    const std::string& reply = replies[next++];
    inData = afterData && reply.compare(0, 3, "354") == 0;
    peer.Send(reply, kServerWaitMs);
  }
}

platform::CTcpListener& Listener() {
  static platform::CTcpListener* listener = [] {
    auto* l = new platform::CTcpListener;
    l->Listen("127.0.0.1", 0);
    SmtpTimeouts waits;
    waits.m_nConnectMs = 1000;
    waits.m_nReplyMs = 100;
    waits.m_nDataEndMs = 100;
    CSMTP::SetTimeouts(waits);
    return l;
  }();
  return *listener;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const std::uint8_t mode = input.Byte();
  const bool ehloMode = (mode & 1) != 0;
  const bool keepGoing = (mode & 2) != 0;
  const bool pipelining = ehloMode && (mode & 4) != 0;
  const bool second = ehloMode && (mode & 8) != 0;
  // The second message announced, so that its commands may follow the
  // first one's dot.
  const bool ahead = second && (mode & 16) != 0;
  CMailItem item;
  item.m_strSender = "from@example.com";
  item.AddRecipientList(input.Text());
  item.m_strSubject = "fuzz";
  item.m_strBody = input.Text();
  CMailItem next = item;
  std::vector<std::string> replies;
  while (!input.Empty() && replies.size() < 16) {
    std::string reply = input.Text();
    if (reply.empty()) break;
    replies.push_back(reply);
  }
  // The EHLO reply, after the greeting, offers PIPELINING.
  if (pipelining && !replies.empty()) {
    replies.insert(replies.begin() + 1, "250-fuzz\r\n250 PIPELINING\r\n");
  }

  ServerRecord record;
  std::thread server(Serve, std::ref(Listener()), std::cref(replies), std::ref(record));
  bool connected = false;
  bool sent = false;
  bool sentNext = false;
  SmtpSessionLog log;
  SmtpSessionLog nextLog;
  {
    CSMTP session("127.0.0.1", Listener().Port());
    session.SetKeepGoing(keepGoing);
    if (ehloMode) {
      SmtpSecurity security;
      security.m_nMode = SecurityPlainEhlo;
      session.SetSecurity(security);
    }
    connected = session.Connect();
    if (connected) {
      if (ahead) session.AnnounceNext(&next);
      sent = session.SendMail(item);
      log = session.Log();
      if (second && session.CanCarryAnother()) {
        sentNext = session.SendMail(next);
        nextLog = session.Log();
      }
      if (sent) session.Disconnect();
    } else {
      log = session.Log();
    }
  }
  server.join();

  if (!ehloMode && !replies.empty() && replies[0].size() <= kReplySize && replies[0].find('\0') == std::string::npos &&
      GreetingNamesEsmtp(replies[0].c_str())) {
    FUZZ_CHECK(!connected);  // an ESMTP server is taken to want a login
  }
  // The log never claims a message taken that the server did not receive
  // whole, and a failed session always names its step.
  if (log.m_bMessageAccepted) FUZZ_CHECK(record.m_bMessageEnded && log.m_nMessageCode == 250);
  if (!sent) FUZZ_CHECK(log.m_failure != SmtpFailure::None || !log.m_recipients.empty());
  if (log.m_failure != SmtpFailure::None) FUZZ_CHECK(log.m_failedStep != SmtpStep::None);
  if (sent) {
    FUZZ_CHECK(record.m_bMessageEnded);
    FUZZ_CHECK(record.m_strReceived.find("\r\n\r\n" + item.m_strBody + "\r\n.\r\n") != std::string::npos);
  }
  // The second message: the same claims, its log its own.
  if (nextLog.m_bMessageAccepted) FUZZ_CHECK(record.m_nMessagesEnded >= 1 && nextLog.m_nMessageCode == 250);
  if (nextLog.m_failure != SmtpFailure::None) FUZZ_CHECK(nextLog.m_failedStep != SmtpStep::None);
  if (sent && sentNext) FUZZ_CHECK(record.m_nMessagesEnded >= 2);
  return 0;
}
