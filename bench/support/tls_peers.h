// The TLS side of the SMTP benchmark: a sink that speaks TLS from the first
// byte, and a minimal lock-step client that uses the same TLS library the
// way a simple program would: a full handshake for every session.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace benchsupport {

// One thread on 127.0.0.1 serving one connection at a time (the clients are
// lock-step): handshake, greeting, EHLO, MAIL, RCPT, DATA, the message, QUIT.
// It counts messages and the handshakes that resumed a session.
class CTlsSink {
 public:
  // `certFile`/`keyFile`: the server's PEM certificate and key.
  CTlsSink(const std::string& certFile, const std::string& keyFile, int cpu = -1);
  ~CTlsSink();
  CTlsSink(const CTlsSink&) = delete;
  CTlsSink& operator=(const CTlsSink&) = delete;

  bool Ok() const { return m_pContext != nullptr && m_nListen >= 0; }
  unsigned int Port() const { return m_nPort; }
  std::uint64_t Messages() const { return m_nMessages.load(); }
  std::uint64_t Resumed() const { return m_nResumed.load(); }

 private:
  void Run(int cpu);

  void* m_pContext = nullptr;  // SSL_CTX
  int m_nListen = -1;
  unsigned int m_nPort = 0;
  std::atomic<bool> m_bStop{false};
  std::atomic<std::uint64_t> m_nMessages{0};
  std::atomic<std::uint64_t> m_nResumed{0};
  std::thread m_thread;
};

// Lock-step client over TLS from the first byte; verifies the chain against
// `caFile` and the IP address, as CSMTP does, and never resumes.
class CTlsBaselineClient {
 public:
  CTlsBaselineClient(unsigned int port, const std::string& caFile, std::string sender,
                     std::string recipient, const std::string& message);
  ~CTlsBaselineClient();
  CTlsBaselineClient(const CTlsBaselineClient&) = delete;
  CTlsBaselineClient& operator=(const CTlsBaselineClient&) = delete;

  bool SendOne() const;

 private:
  void* m_pContext = nullptr;  // SSL_CTX
  unsigned int m_nPort;
  std::string m_strMail;
  std::string m_strRcpt;
  std::string m_strData;
};

}  // namespace benchsupport
