// The latency benchmark's server: a sink on 127.0.0.1 that serves each
// connection on a thread of its own, in plain text with HELO or AUTH LOGIN,
// or with EHLO offering STARTTLS, AUTH PLAIN/LOGIN and PIPELINING. It answers
// commands as they come and sends its replies when no whole command is
// waiting (as RFC 2920 asks of a server), takes any number of messages per
// connection and counts them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace benchsupport {

class CStartTlsSink {
 public:
  CStartTlsSink(const std::string& certFile, const std::string& keyFile);
  ~CStartTlsSink();
  CStartTlsSink(const CStartTlsSink&) = delete;
  CStartTlsSink& operator=(const CStartTlsSink&) = delete;

  bool Ok() const { return m_pContext != nullptr && m_nListen >= 0; }
  unsigned int Port() const { return m_nPort; }
  std::uint64_t Messages() const { return m_nMessages.load(); }
  std::uint64_t Connections() const { return m_nConnections.load(); }

 private:
  void Accept();
  void Serve(int fd);

  void* m_pContext = nullptr;  // SSL_CTX
  int m_nListen = -1;
  unsigned int m_nPort = 0;
  std::atomic<bool> m_bStop{false};
  std::atomic<std::uint64_t> m_nMessages{0};
  std::atomic<std::uint64_t> m_nConnections{0};
  std::mutex m_mutex;
  std::vector<std::thread> m_sessions;
  std::thread m_thread;
};

// A proxy on 127.0.0.1 in front of `port` that holds every chunk it relays,
// each way, for `delayMs` before passing it on, in order: a link with a round
// trip of twice the delay.
class CDelayProxy {
 public:
  CDelayProxy(unsigned int port, int delayMs);
  ~CDelayProxy();
  CDelayProxy(const CDelayProxy&) = delete;
  CDelayProxy& operator=(const CDelayProxy&) = delete;

  bool Ok() const { return m_nListen >= 0; }
  unsigned int Port() const { return m_nPort; }

 private:
  void Accept();
  // Relays `from` to `to` with the delay until either side closes.
  void Relay(int from, int to);

  unsigned int m_nTarget;
  int m_nDelayMs;
  int m_nListen = -1;
  unsigned int m_nPort = 0;
  std::atomic<bool> m_bStop{false};
  std::mutex m_mutex;
  std::vector<std::thread> m_relays;
  std::thread m_thread;
};

// A minimal client over STARTTLS with AUTH PLAIN that keeps its connection
// for every message, one command and one reply at a time (no pipelining),
// as a short script with a common SMTP library does.
class CReusingBaselineClient {
 public:
  CReusingBaselineClient(unsigned int port, const std::string& caFile, std::string sender,
                         std::string recipient, const std::string& message);
  ~CReusingBaselineClient();
  CReusingBaselineClient(const CReusingBaselineClient&) = delete;
  CReusingBaselineClient& operator=(const CReusingBaselineClient&) = delete;

  // One message, on the open connection or a new one.
  bool SendOne();
  // QUIT and close.
  void Finish();

 private:
  bool Open();

  void* m_pContext = nullptr;  // SSL_CTX
  void* m_pSsl = nullptr;      // SSL of the open connection
  int m_nFd = -1;
  std::string m_strPending;
  unsigned int m_nPort;
  std::string m_strMail;
  std::string m_strRcpt;
  std::string m_strData;
};

}  // namespace benchsupport
