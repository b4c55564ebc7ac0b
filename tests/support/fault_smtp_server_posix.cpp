#include "support/fault_smtp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>

namespace testsupport {
namespace {

constexpr int kIdleMs = 15000;      // how long the server waits for a silent client
constexpr int kAcceptSliceMs = 100;  // how often the serving thread looks at the stop flag
constexpr int kSplitPauseMs = 1;     // between the bytes of a split reply

struct StepText {
  const char* m_szReply;
  const char* m_szRefusal;
};
constexpr StepText kStepTexts[kSmtpSteps] = {
    {"220 127.0.0.1 fault server ready", "554 5.3.2 not accepting mail now"},
    {"250 127.0.0.1", "550 5.7.1 hello refused"},
    {"250 2.1.0 Ok", "550 5.7.1 sender refused"},
    {"250 2.1.5 Ok", "550 5.1.1 recipient refused"},
    {"354 End data with <CR><LF>.<CR><LF>", "554 5.5.1 data refused"},
    {"250 2.0.0 Ok: queued", "552 5.3.4 message refused"},
    {"221 2.0.0 Bye", "500 5.5.2 quit refused"},
};

// How a turn went: a reply with the step's code went out (whole, split or
// oversized), another reply went out, or the session is over.
enum class Turn { Good, Bad, Ended };

class CConnection {
 public:
  explicit CConnection(int fd) : m_fd(fd) {}
  ~CConnection() { Close(); }

  // The next command line without its CR LF; false when the client closed,
  // failed or stayed silent too long (then GaveUp()).
  bool ReadLine(std::string& line) {
    for (;;) {
      const std::size_t end = m_pending.find("\r\n");
      if (end != std::string::npos) {
        line = m_pending.substr(0, end);
        m_pending.erase(0, end + 2);
        return true;
      }
      if (!ReadMore()) return false;
    }
  }
  // The message after 354 up to its final dot line, with the CR LF before
  // that line, dots removed from the lines that carry an extra one.
  bool ReadMessage(std::string& message) {
    for (;;) {
      std::size_t end = m_pending.rfind(".\r\n", 0) == 0 ? 0 : m_pending.find("\r\n.\r\n");
      if (end != std::string::npos) {
        end = end == 0 ? 0 : end + 2;
        const std::string raw = m_pending.substr(0, end);
        m_pending.erase(0, end + 3);
        message.clear();
        for (std::size_t start = 0; start < raw.size();) {
          std::size_t next = raw.find("\r\n", start);
          next = next == std::string::npos ? raw.size() : next + 2;
          message.append(raw, start + (raw[start] == '.' ? 1 : 0), next - start - (raw[start] == '.' ? 1 : 0));
          start = next;
        }
        return true;
      }
      if (!ReadMore()) return false;
    }
  }
  void Send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size() && m_fd >= 0;) {
      const ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }
  void SendSplit(const std::string& bytes) {
    for (const char c : bytes) {
      Send(std::string(1, c));
      std::this_thread::sleep_for(std::chrono::milliseconds(kSplitPauseMs));
    }
  }
  // Waits until the client closes, reading what it sends.
  void AwaitClose() {
    while (ReadMore()) m_pending.clear();
  }
  void Reset() {
    const linger abort{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Close();
  }
  void Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
  }
  bool GaveUp() const { return m_bGaveUp; }

 private:
  bool ReadMore() {
    if (m_fd < 0) return false;
    pollfd p{m_fd, POLLIN, 0};
    const int ready = poll(&p, 1, kIdleMs);
    if (ready == 0) m_bGaveUp = true;
    if (ready <= 0) return false;
    char buffer[16384];
    const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  int m_fd;
  std::string m_pending;
  bool m_bGaveUp = false;
};

}  // namespace

const char* SmtpFaultName(SmtpFault fault) {
  static const char* const kNames[kSmtpFaultKinds] = {"none",      "close", "reset", "stall",
                                                     "garbage",   "oversized", "split", "refuse"};
  return kNames[static_cast<int>(fault)];
}

const char* SmtpStepName(SmtpStep step) {
  static const char* const kNames[kSmtpSteps] = {"greeting", "hello", "mail", "rcpt",
                                                 "data",     "data-end", "quit"};
  return kNames[static_cast<int>(step)];
}

std::uint64_t Digest(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}

CFaultSmtpServer::CFaultSmtpServer(const FaultPlan& plan, unsigned int port)
    : m_plan(plan), m_random(plan.m_nSeed) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return;
  }
  m_listener = fd;
  m_nPort = ntohs(address.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CFaultSmtpServer::~CFaultSmtpServer() {
  m_bStop = true;
  if (m_thread.joinable()) m_thread.join();
  if (m_listener >= 0) close(m_listener);
}

void CFaultSmtpServer::BeginRun(int run) { m_nRun = run; }

bool CFaultSmtpServer::TakeSessions(std::vector<ServedSession>& sessions, int waitMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const bool ended = m_changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                        [this] { return m_nActive == 0; });
  sessions.swap(m_done);
  m_done.clear();
  return ended;
}

void CFaultSmtpServer::Serve() {
  while (!m_bStop) {
    pollfd p{m_listener, POLLIN, 0};
    if (poll(&p, 1, kAcceptSliceMs) <= 0) continue;
    const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ServedSession session;
    session.m_nRun = m_nRun;
    if (std::uniform_real_distribution<double>(0, 1)(m_random) < m_plan.m_dRate) {
      const int kinds = kSmtpFaultKinds - 1 - (m_plan.m_bStalls ? 0 : 1);
      int kind = 1 + static_cast<int>(m_random() % static_cast<unsigned>(kinds));
      if (!m_plan.m_bStalls && kind >= static_cast<int>(SmtpFault::Stall)) ++kind;
      session.m_fault = static_cast<SmtpFault>(kind);
      session.m_step = static_cast<SmtpStep>(m_random() % kSmtpSteps);
    }
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_nActive;
    }
    Play(fd, session);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done.push_back(std::move(session));
    --m_nActive;
    m_changed.notify_all();
  }
}

void CFaultSmtpServer::Play(int fd, ServedSession& session) {
  CConnection peer(fd);
  // One turn of the server: the step's reply, or the session's fault when
  // this is its step and it has not happened yet.
  auto turn = [&](SmtpStep step) {
    const StepText& text = kStepTexts[static_cast<int>(step)];
    const std::string reply = std::string(text.m_szReply) + "\r\n";
    if (session.m_fault == SmtpFault::None || session.m_step != step || session.m_bInjected) {
      peer.Send(reply);
      return Turn::Good;
    }
    session.m_bInjected = true;
    switch (session.m_fault) {
      case SmtpFault::Close:
        peer.Close();
        return Turn::Ended;
      case SmtpFault::Reset:
        peer.Reset();
        return Turn::Ended;
      case SmtpFault::Stall:
        peer.AwaitClose();
        return Turn::Ended;
      case SmtpFault::Garbage: {
        std::string garbage(1 + m_random() % 300, '\0');
        for (char& c : garbage) c = static_cast<char>(m_random());
        // Never a text a client could read as a reply code.
        garbage[0] = static_cast<char>('A' + m_random() % 26);
        peer.Send(garbage + "\r\n");
        return Turn::Bad;
      }
      case SmtpFault::Oversized: {
        const std::string code = reply.substr(0, 3);
        std::string big;
        const std::size_t size = 1200 + m_random() % 5000;
        while (big.size() < size) big += code + "-" + std::string(70, 'x') + "\r\n";
        peer.Send(big + reply);
        return Turn::Good;
      }
      case SmtpFault::Split:
        peer.SendSplit(reply);
        return Turn::Good;
      case SmtpFault::Refuse:
      default:
        peer.Send(std::string(text.m_szRefusal) + "\r\n");
        return Turn::Bad;
    }
  };

  Turn greeting = turn(SmtpStep::Greeting);
  if (greeting == Turn::Ended) return;
  std::string line;
  while (peer.ReadLine(line)) {
    std::string verb = line.substr(0, 4);
    for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Turn result = Turn::Good;
    if (verb == "HELO" || verb == "EHLO") {
      result = turn(SmtpStep::Hello);
    } else if (verb == "MAIL") {
      session.m_recipients.clear();
      result = turn(SmtpStep::Mail);
    } else if (verb == "RCPT") {
      const std::size_t open = line.find('<');
      const std::size_t close = line.rfind('>');
      result = turn(SmtpStep::Rcpt);
      if (result == Turn::Good && open != std::string::npos && close != std::string::npos && open < close) {
        session.m_recipients.push_back(line.substr(open + 1, close - open - 1));
      }
    } else if (verb == "DATA") {
      if (session.m_recipients.empty()) {
        peer.Send("554 5.5.1 no valid recipients\r\n");
        continue;
      }
      result = turn(SmtpStep::Data);
      std::string message;
      if (result == Turn::Good) {
        if (!peer.ReadMessage(message)) break;
        result = turn(SmtpStep::DataEnd);
        if (result == Turn::Good) {
          session.m_bCommitted = true;
          const std::size_t blank = message.find("\r\n\r\n");
          session.m_nBodyDigest = Digest(blank == std::string::npos ? std::string() : message.substr(blank + 4));
        }
      }
    } else if (verb == "QUIT") {
      if (turn(SmtpStep::Quit) != Turn::Ended) peer.Close();
      return;
    } else if (verb == "RSET" || verb == "NOOP") {
      peer.Send("250 2.0.0 Ok\r\n");
    } else {
      peer.Send("500 5.5.2 unknown command\r\n");
    }
    if (result == Turn::Ended) return;
  }
  session.m_bServerGaveUp = peer.GaveUp();
}

}  // namespace testsupport
