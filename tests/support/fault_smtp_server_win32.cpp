// The Windows build of the test server: the sound server alone, on the
// core's own sockets. It answers as the POSIX build does when no fault is
// planned, refuses the plan's recipients, and records each session.
#include "support/fault_smtp_server.h"

#include <cctype>
#include <chrono>

#include "platform/net.h"

namespace testsupport {
namespace {

constexpr int kIdleMs = 15000;       // how long the server waits for a silent client
constexpr int kAcceptSliceMs = 100;  // how often the serving thread looks at the stop flag
constexpr int kSendMs = 10000;
const char kMessageEnd[] = "\r\n.\r\n";

// Lines and messages from one client.
class CReader {
 public:
  explicit CReader(platform::CTcpSocket& peer) : m_peer(peer) {}
  // Up to `end` (which is dropped); false when the client went or fell silent.
  bool Until(const std::string& end, std::string& out) {
    for (std::size_t at; (at = m_pending.find(end)) == std::string::npos;) {
      char buffer[16384];
      const long got = m_peer.Receive(buffer, sizeof buffer, kIdleMs);
      if (got <= 0) return false;
      m_pending.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t at = m_pending.find(end);
    out = m_pending.substr(0, at);
    m_pending.erase(0, at + end.size());
    return true;
  }

 private:
  platform::CTcpSocket& m_peer;
  std::string m_pending;
};

}  // namespace

const char* SmtpFaultName(SmtpFault) { return "none"; }
const char* SmtpStepName(SmtpStep) { return "-"; }

std::uint64_t Digest(const std::string& bytes) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

CFaultSmtpServer::CFaultSmtpServer(const FaultPlan& plan, unsigned int port)
    : m_plan(plan), m_random(plan.m_nSeed) {
  if (plan.m_dRate != 0 || !plan.m_strCertFile.empty()) return;  // not served here
  platform::StartNetwork();
  m_pPortable = std::make_unique<platform::CTcpListener>();
  if (!m_pPortable->Listen("127.0.0.1", port)) return;
  m_listener = 0;
  m_nPort = m_pPortable->Port();
  m_thread = std::thread([this] { Serve(); });
}

CFaultSmtpServer::~CFaultSmtpServer() {
  m_bStop = true;
  if (m_thread.joinable()) m_thread.join();
}

void CFaultSmtpServer::BeginRun(int run, SmtpOpening) { m_nRun = run; }

void CFaultSmtpServer::PlanFault(ServedSession&) {}

void CFaultSmtpServer::Serve() {
  while (!m_bStop) {
    platform::CTcpSocket peer;
    if (!m_pPortable->Accept(peer, kAcceptSliceMs)) continue;
    ServedSession session;
    session.m_nRun = m_nRun;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_nActive;
    }
    ++m_nAccepted;
    CReader reader(peer);
    auto send = [&](const std::string& line) { return peer.Send(line + "\r\n", kSendMs); };
    send("220 127.0.0.1 fault server ready");
    for (std::string line; reader.Until("\r\n", line);) {
      std::string verb = line.substr(0, 4);
      for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (verb == "HELO" || verb == "EHLO") {
        send("250 127.0.0.1");
      } else if (verb == "MAIL") {
        session.m_recipients.clear();
        send("250 2.1.0 Ok");
      } else if (verb == "RCPT") {
        const std::size_t open = line.find('<');
        const std::size_t close = line.rfind('>');
        if (open == std::string::npos || close == std::string::npos || close < open) {
          send("501 5.1.3 bad address");
          continue;
        }
        const std::string address = line.substr(open + 1, close - open - 1);
        const std::string& refused = m_plan.m_strRefusedPrefix;
        if (!refused.empty() && address.compare(0, refused.size(), refused) == 0) {
          session.m_refused.push_back(address);
          send("550 5.1.1 User unknown");
        } else {
          session.m_recipients.push_back(address);
          send("250 2.1.5 Ok");
        }
      } else if (verb == "DATA") {
        if (session.m_recipients.empty()) {
          send("554 5.5.1 no valid recipients");
          continue;
        }
        send("354 End data with <CR><LF>.<CR><LF>");
        std::string message;
        if (!reader.Until(kMessageEnd, message)) break;
        session.m_bCommitted = true;
        const std::size_t blank = message.find("\r\n\r\n");
        session.m_nBodyDigest = Digest(blank == std::string::npos ? std::string() : message.substr(blank + 4));
        send("250 2.0.0 Ok: queued");
      } else if (verb == "QUIT") {
        send("221 2.0.0 Bye");
        break;
      } else if (verb == "RSET" || verb == "NOOP") {
        send("250 2.0.0 Ok");
      } else {
        send("500 5.5.2 unknown command");
      }
    }
    peer.Close();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done.push_back(std::move(session));
    --m_nActive;
    m_changed.notify_all();
  }
}

}  // namespace testsupport
