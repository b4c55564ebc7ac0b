// An SMTP server on 127.0.0.1 that misbehaves on purpose, for soak tests. It
// serves one session at a time on its own thread and, for a seeded random
// share of sessions, injects one fault at one random step: it closes the
// connection, resets it, stalls until the client gives up, answers garbage,
// answers with a reply larger than a client's buffer, sends the reply one
// byte at a time, or refuses. In a run that speaks TLS (from the first byte
// or after STARTTLS, with a real OpenSSL server end) it may also spoil the
// handshake: cut it after the ClientHello, inside the ServerHello or the
// certificate, or just before the server's Finished (by a close or a reset),
// stall inside it, or answer the ClientHello with garbage. Otherwise it
// behaves as a plain accepting server. It records what each session committed (the recipients and a
// digest of the message body) so that a test can compare it with what the
// client believes it sent. The Windows build is the sound server alone (no
// faults, no TLS: a plan must have m_dRate 0 and no certificate), which the
// kill tests need there.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace platform {
class CTcpListener;
}

namespace testsupport {

enum class SmtpFault {
  None, Close, Reset, Stall, Garbage, Oversized, Split, Refuse,
  // The TLS handshake's faults, from here on.
  TlsCutClientHello, TlsCutServerHello, TlsCutCertificate, TlsCutFinished, TlsStall, TlsGarbage
};
inline constexpr int kSmtpFaultKinds = 14;
inline constexpr int kFirstTlsFault = static_cast<int>(SmtpFault::TlsCutClientHello);
const char* SmtpFaultName(SmtpFault fault);
inline bool IsTlsFault(SmtpFault fault) { return static_cast<int>(fault) >= kFirstTlsFault; }

// The server's turns, in the order a plain session reaches them; the
// handshake comes first (TLS from the first byte) or after STARTTLS.
enum class SmtpStep { Greeting, Hello, Mail, Rcpt, Data, DataEnd, Quit, Handshake };
inline constexpr int kSmtpSteps = 8;
const char* SmtpStepName(SmtpStep step);

// How a run's sessions open: as the client's security modes 0 (plain), 1
// (STARTTLS) and 2 (TLS from the first byte).
enum class SmtpOpening { Plain = 0, StartTls = 1, Tls = 2 };

struct FaultPlan {
  std::uint64_t m_nSeed = 1;
  double m_dRate = 0.3;     // share of sessions given a fault
  bool m_bStalls = true;    // whether stalls are among the faults (the client needs short waits)
  // The server's certificate chain and key (PEM files) for runs that speak
  // TLS; "" for a server that speaks plain text only.
  std::string m_strCertFile;
  std::string m_strKeyFile;
  // Recipients whose address begins with this are refused for good
  // ("550 5.1.1"); "" refuses none.
  std::string m_strRefusedPrefix;
  // Serves every connection on a thread of its own, at once, instead of one
  // after another; only for a sound server (m_dRate 0: the faults' random
  // draws belong to the accepting thread).
  bool m_bConcurrent = false;
};

// One session as the server saw it.
struct ServedSession {
  int m_nRun = 0;
  SmtpFault m_fault = SmtpFault::None;  // the fault planned for the session
  SmtpStep m_step = SmtpStep::Greeting;  // and its step
  SmtpOpening m_opening = SmtpOpening::Plain;
  bool m_bTls12 = false;                 // the server allowed TLS 1.2 at most
  bool m_bTlsDone = false;               // a TLS handshake completed
  bool m_bInjected = false;              // the session reached that step and got the fault
  std::vector<std::string> m_recipients;  // accepted RCPT addresses
  std::vector<std::string> m_refused;     // RCPT addresses refused by m_strRefusedPrefix
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
  // Sessions accepted from now on belong to run `run` and open as `opening`
  // says (a TLS opening needs the plan's certificate).
  void BeginRun(int run, SmtpOpening opening = SmtpOpening::Plain);
  // Waits (up to `waitMs`) until every session accepted so far has ended,
  // then hands them over in the order they began. False on a time-out.
  bool TakeSessions(std::vector<ServedSession>& sessions, int waitMs = 20000);
  // Sessions accepted since the server started.
  int SessionsAccepted() const { return m_nAccepted; }

 private:
  void Serve();
  void Play(int fd, ServedSession& session);
  void PlanFault(ServedSession& session);

  FaultPlan m_plan;
  std::mt19937_64 m_random;
  int m_listener = -1;  // the listening socket (on Windows 0 while m_pPortable listens)
  std::unique_ptr<platform::CTcpListener> m_pPortable;
  unsigned int m_nPort = 0;
  void* m_tlsContext = nullptr;  // the server's SSL_CTX
  std::atomic<int> m_nRun{0};
  std::atomic<int> m_nOpening{0};
  std::atomic<int> m_nAccepted{0};
  std::atomic<bool> m_bStop{false};
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<ServedSession> m_done;
  int m_nActive = 0;
  std::thread m_thread;
  std::vector<std::thread> m_sessionThreads;  // m_bConcurrent
};

}  // namespace testsupport
