// The reusing baseline client of starttls_sink.h.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include "starttls_sink.h"
#include "loopback.h"

namespace benchsupport {
namespace {

SSL* AsSsl(void* ssl) { return static_cast<SSL*>(ssl); }

bool WriteAll(int fd, SSL* ssl, const std::string& text) {
  if (ssl) return SSL_write(ssl, text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
  return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// One whole reply (its last line has a blank after the code); true when it
// starts with `code`.
bool Reply(int fd, SSL* ssl, std::string& pending, char code) {
  for (;;) {
    std::size_t start = 0;
    for (std::size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1) {
      if (lf - start >= 4 && pending[start + 3] == '-') continue;
      const bool ok = pending[start] == code;
      pending.erase(0, lf + 1);
      return ok;
    }
    char buffer[4096];
    const long got = ssl ? SSL_read(ssl, buffer, sizeof buffer) : recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(got));
  }
}

// AUTH PLAIN of "\0peer-user\0peer-secret", as the sink takes any.
const char kAuthPlain[] = "AUTH PLAIN AHBlZXItdXNlcgBwZWVyLXNlY3JldA==\r\n";

}  // namespace

CReusingBaselineClient::CReusingBaselineClient(unsigned int port, const std::string& caFile,
                                               std::string sender, std::string recipient,
                                               const std::string& message)
    : m_nPort(port),
      m_strMail("MAIL From: <" + sender + ">\r\n"),
      m_strRcpt("RCPT TO: <" + recipient + ">\r\n"),
      m_strData(message + "\r\n.\r\n") {
  m_pContext = VerifyingClientContext(caFile);
}

CReusingBaselineClient::~CReusingBaselineClient() {
  Finish();
  SSL_CTX_free(static_cast<SSL_CTX*>(m_pContext));
}

bool CReusingBaselineClient::Open() {
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(m_nPort));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  m_nFd = socket(AF_INET, SOCK_STREAM, 0);
  if (m_nFd < 0) return false;
  int one = 1;
  setsockopt(m_nFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  m_strPending.clear();
  if (connect(m_nFd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 ||
      !Reply(m_nFd, nullptr, m_strPending, '2') || !WriteAll(m_nFd, nullptr, "EHLO baseline\r\n") ||
      !Reply(m_nFd, nullptr, m_strPending, '2') || !WriteAll(m_nFd, nullptr, "STARTTLS\r\n") ||
      !Reply(m_nFd, nullptr, m_strPending, '2')) {
    return false;
  }
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(m_pContext));
  m_pSsl = ssl;
  X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), "127.0.0.1");
  SSL_set_fd(ssl, m_nFd);
  return SSL_connect(ssl) == 1 && WriteAll(m_nFd, ssl, "EHLO baseline\r\n") &&
         Reply(m_nFd, ssl, m_strPending, '2') && WriteAll(m_nFd, ssl, kAuthPlain) &&
         Reply(m_nFd, ssl, m_strPending, '2');
}

bool CReusingBaselineClient::SendOne() {
  if (m_nFd < 0 && !Open()) {
    Finish();
    return false;
  }
  SSL* ssl = AsSsl(m_pSsl);
  const bool ok = WriteAll(m_nFd, ssl, m_strMail) && Reply(m_nFd, ssl, m_strPending, '2') &&
                  WriteAll(m_nFd, ssl, m_strRcpt) && Reply(m_nFd, ssl, m_strPending, '2') &&
                  WriteAll(m_nFd, ssl, "DATA\r\n") && Reply(m_nFd, ssl, m_strPending, '3') &&
                  WriteAll(m_nFd, ssl, m_strData) && Reply(m_nFd, ssl, m_strPending, '2');
  if (!ok) Finish();
  return ok;
}

void CReusingBaselineClient::Finish() {
  if (m_pSsl) {
    SSL* ssl = AsSsl(m_pSsl);
    if (WriteAll(m_nFd, ssl, "QUIT\r\n")) Reply(m_nFd, ssl, m_strPending, '2');
    SSL_shutdown(ssl);
    SSL_free(ssl);
    m_pSsl = nullptr;
  }
  ERR_clear_error();
  if (m_nFd >= 0) close(m_nFd);
  m_nFd = -1;
}

}  // namespace benchsupport
