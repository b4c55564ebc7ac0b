// An SMTP server on 127.0.0.1 that misbehaves on purpose, for soak tests. It
// serves one session at a time on its own thread and, for a seeded random
// share of sessions, injects one fault at one random step: it closes the
// connection, resets it, stalls until the client gives up, answers garbage,
// answers with a reply larger than a client's buffer, sends the reply one
// byte at a time, or refuses. Otherwise it behaves as a plain accepting
// server. It records what each session committed (the recipients and a
// digest of the message body) so that a test can compare it with what the
// client believes it sent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

enum class SmtpFault { None, Close, Reset, Stall, Garbage, Oversized, Split, Refuse };
inline constexpr int kSmtpFaultKinds = 8;
const char* SmtpFaultName(SmtpFault fault);

// The server's turns, in the order a session reaches them.
enum class SmtpStep { Greeting, Hello, Mail, Rcpt, Data, DataEnd, Quit };
inline constexpr int kSmtpSteps = 7;
const char* SmtpStepName(SmtpStep step);

struct FaultPlan {
  std::uint64_t m_nSeed = 1;
  double m_dRate = 0.3;     // share of sessions given a fault
  bool m_bStalls = true;    // whether stalls are among the faults (the client needs short waits)
};

// One session as the server saw it.
struct ServedSession {
  int m_nRun = 0;
  SmtpFault m_fault = SmtpFault::None;  // the fault planned for the session
  SmtpStep m_step = SmtpStep::Greeting;  // and its step
  bool m_bInjected = false;              // the session reached that step and got the fault
  std::vector<std::string> m_recipients;  // accepted RCPT addresses
  bool m_bCommitted = false;             // the message was taken (a 250 went out after its dot)
  std::uint64_t m_nBodyDigest = 0;       // of the body of the committed message, dots removed
  bool m_bServerGaveUp = false;          // the client went silent for the server's whole wait
};

// FNV-1a, the digest of committed bodies.
std::uint64_t Digest(const std::string& bytes);

class CFaultSmtpServer {
 public:
  // Listens on 127.0.0.1:`port` (0: a free port); see Listening().
  CFaultSmtpServer(const FaultPlan& plan, unsigned int port = 0);
  ~CFaultSmtpServer();
  CFaultSmtpServer(const CFaultSmtpServer&) = delete;
  CFaultSmtpServer& operator=(const CFaultSmtpServer&) = delete;

  bool Listening() const { return m_listener >= 0; }
  unsigned int Port() const { return m_nPort; }
  // Sessions accepted from now on belong to run `run`.
  void BeginRun(int run);
  // Waits (up to `waitMs`) until every session accepted so far has ended,
  // then hands them over in the order they began. False on a time-out.
  bool TakeSessions(std::vector<ServedSession>& sessions, int waitMs = 20000);

 private:
  void Serve();
  void Play(int fd, ServedSession& session);

  FaultPlan m_plan;
  std::mt19937_64 m_random;
  int m_listener = -1;
  unsigned int m_nPort = 0;
  std::atomic<int> m_nRun{0};
  std::atomic<bool> m_bStop{false};
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<ServedSession> m_done;
  int m_nActive = 0;
  std::thread m_thread;
};

}  // namespace testsupport
