#include "tls_peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/smtp_sink.h"
#include "loopback.h"

namespace benchsupport {
namespace {

SSL_CTX* Ctx(void* context) { return static_cast<SSL_CTX*>(context); }

// Reads one line ended by LF into `line` from `pending` and the connection.
bool ReadLine(SSL* ssl, std::string& pending, std::string& line) {
  for (;;) {
    const std::size_t lf = pending.find('\n');
    if (lf != std::string::npos) {
      line = pending.substr(0, lf + 1);
      pending.erase(0, lf + 1);
      return true;
    }
    char buffer[16384];
    const int got = SSL_read(ssl, buffer, sizeof buffer);
    if (got <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(got));
  }
}

bool Write(SSL* ssl, const std::string& text) {
  return SSL_write(ssl, text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
}

// One reply: every line up to the one with a blank after the code.
bool Reply(SSL* ssl, std::string& pending, char code) {
  std::string line;
  do {
    if (!ReadLine(ssl, pending, line)) return false;
  } while (line.size() > 3 && line[3] == '-');
  return !line.empty() && line[0] == code;
}

}  // namespace

CTlsSink::CTlsSink(const std::string& certFile, const std::string& keyFile, int cpu) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    SSL_CTX_free(ctx);
    return;
  }
  m_pContext = ctx;
  m_nListen = ListenOnLoopback(m_nPort);
  if (m_nListen < 0) return;
  m_thread = std::thread([this, cpu] { Run(cpu); });
}

CTlsSink::~CTlsSink() {
  m_bStop = true;
  if (m_thread.joinable()) m_thread.join();
  if (m_nListen >= 0) close(m_nListen);
  SSL_CTX_free(Ctx(m_pContext));
}

void CTlsSink::Run(int cpu) {
  if (cpu >= 0) PinThisThread(cpu);
  while (!m_bStop) {
    pollfd entry{m_nListen, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    const int fd = accept(m_nListen, nullptr, nullptr);
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SSL* ssl = SSL_new(Ctx(m_pContext));
    SSL_set_fd(ssl, fd);
    std::string pending;
    std::string line;
    bool ok = SSL_accept(ssl) == 1;
    if (ok && SSL_session_reused(ssl)) ++m_nResumed;
    ok = ok && Write(ssl, "220 sink ready\r\n");
    while (ok && ReadLine(ssl, pending, line)) {
      const std::string verb = line.substr(0, 4);
      if (verb == "EHLO") {
        ok = Write(ssl, "250-sink\r\n250-8BITMIME\r\n250 SIZE 10000000\r\n");
      } else if (verb == "DATA") {
        ok = Write(ssl, "354 go ahead\r\n");
        while (ok && (ok = ReadLine(ssl, pending, line)) && line != ".\r\n") {
        }
        if (ok) {
          ++m_nMessages;
          ok = Write(ssl, "250 queued\r\n");
        }
      } else if (verb == "QUIT") {
        Write(ssl, "221 bye\r\n");
        SSL_shutdown(ssl);
        break;
      } else {
        ok = Write(ssl, "250 ok\r\n");
      }
    }
    SSL_free(ssl);
    ERR_clear_error();
    close(fd);
  }
}

CTlsBaselineClient::CTlsBaselineClient(unsigned int port, const std::string& caFile,
                                       std::string sender, std::string recipient,
                                       const std::string& message)
    : m_nPort(port),
      m_strMail("MAIL From: <" + sender + ">\r\n"),
      m_strRcpt("RCPT TO: <" + recipient + ">\r\n"),
      m_strData(message + "\r\n.\r\n") {
  SSL_CTX* ctx = VerifyingClientContext(caFile);
  if (ctx != nullptr) SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
  m_pContext = ctx;
}

CTlsBaselineClient::~CTlsBaselineClient() { SSL_CTX_free(Ctx(m_pContext)); }

bool CTlsBaselineClient::SendOne() const {
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(m_nPort));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  SSL* ssl = SSL_new(Ctx(m_pContext));
  X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), "127.0.0.1");
  SSL_set_fd(ssl, fd);
  std::string pending;
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
                  SSL_connect(ssl) == 1 && Reply(ssl, pending, '2') &&
                  Write(ssl, "EHLO baseline\r\n") && Reply(ssl, pending, '2') &&
                  Write(ssl, m_strMail) && Reply(ssl, pending, '2') && Write(ssl, m_strRcpt) &&
                  Reply(ssl, pending, '2') && Write(ssl, "DATA\r\n") && Reply(ssl, pending, '3') &&
                  Write(ssl, m_strData) && Reply(ssl, pending, '2') && Write(ssl, "QUIT\r\n") &&
                  Reply(ssl, pending, '2');
  if (ok) SSL_shutdown(ssl);
  SSL_free(ssl);
  ERR_clear_error();
  close(fd);
  return ok;
}

}  // namespace benchsupport
