#include "starttls_sink.h"

#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace benchsupport {
namespace {

constexpr int kPollMs = 100;

// One side of a connection, plain until TLS starts.
struct Link {
  int m_nFd = -1;
  SSL* m_pSsl = nullptr;
  std::string m_strPending;
  std::string m_strOut;

  long Read(char* buffer, int size) {
    if (m_pSsl) return SSL_read(m_pSsl, buffer, size);
    return recv(m_nFd, buffer, static_cast<std::size_t>(size), 0);
  }
  bool Flush() {
    if (m_strOut.empty()) return true;
    const bool ok = m_pSsl ? SSL_write(m_pSsl, m_strOut.data(), static_cast<int>(m_strOut.size())) ==
                                 static_cast<int>(m_strOut.size())
                           : send(m_nFd, m_strOut.data(), m_strOut.size(), MSG_NOSIGNAL) ==
                                 static_cast<ssize_t>(m_strOut.size());
    m_strOut.clear();
    return ok;
  }
  // The next line ended by LF; the replies gathered go out before a wait.
  bool ReadLine(std::string& line) {
    for (;;) {
      const std::size_t lf = m_strPending.find('\n');
      if (lf != std::string::npos) {
        line = m_strPending.substr(0, lf + 1);
        m_strPending.erase(0, lf + 1);
        return true;
      }
      if (!Flush()) return false;
      char buffer[16384];
      const long got = Read(buffer, sizeof buffer);
      if (got <= 0) return false;
      m_strPending.append(buffer, static_cast<std::size_t>(got));
    }
  }
};

void NoDelay(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Accepts on `listen` until `stop`, handing each connection to `serve`.
template <typename Serve>
void AcceptLoop(int listen, const std::atomic<bool>& stop, Serve serve) {
  while (!stop) {
    pollfd entry{listen, POLLIN, 0};
    if (poll(&entry, 1, kPollMs) <= 0) continue;
    const int fd = accept(listen, nullptr, nullptr);
    if (fd >= 0) serve(fd);
  }
}

}  // namespace

CStartTlsSink::CStartTlsSink(const std::string& certFile, const std::string& keyFile) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    SSL_CTX_free(ctx);
    return;
  }
  m_pContext = ctx;
  m_nListen = ListenOnLoopback(m_nPort);
  if (m_nListen >= 0) m_thread = std::thread([this] { Accept(); });
}

CStartTlsSink::~CStartTlsSink() {
  m_bStop = true;
  if (m_thread.joinable()) m_thread.join();
  for (std::thread& session : m_sessions) session.join();
  if (m_nListen >= 0) close(m_nListen);
  SSL_CTX_free(static_cast<SSL_CTX*>(m_pContext));
}

void CStartTlsSink::Accept() {
  AcceptLoop(m_nListen, m_bStop, [this](int fd) {
    ++m_nConnections;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sessions.emplace_back([this, fd] { Serve(fd); });
  });
}

void CStartTlsSink::Serve(int fd) {
  NoDelay(fd);
  Link link;
  link.m_nFd = fd;
  link.m_strOut = "220 sink ready\r\n";
  std::string line;
  int loginSteps = 0;  // AUTH LOGIN lines still to come
  bool ok = true;
  while (ok && !m_bStop && link.ReadLine(line)) {
    std::string verb = line.substr(0, 4);
    for (char& c : verb) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (loginSteps > 0) {
      link.m_strOut += --loginSteps > 0 ? "334 UGFzc3dvcmQ6\r\n" : "235 welcome\r\n";
    } else if (verb == "EHLO") {
      link.m_strOut += link.m_pSsl ? "250-sink\r\n" : "250-sink\r\n250-STARTTLS\r\n";
      link.m_strOut += "250-AUTH PLAIN LOGIN\r\n250-PIPELINING\r\n250 8BITMIME\r\n";
    } else if (verb == "STAR") {
      link.m_strOut += "220 go ahead\r\n";
      ok = link.Flush();
      link.m_strPending.clear();
      link.m_pSsl = SSL_new(static_cast<SSL_CTX*>(m_pContext));
      SSL_set_fd(link.m_pSsl, fd);
      ok = ok && SSL_accept(link.m_pSsl) == 1;
    } else if (verb == "AUTH") {
      const bool plain = line.find("PLAIN") != std::string::npos;
      link.m_strOut += plain ? "235 welcome\r\n" : "334 VXNlcm5hbWU6\r\n";
      if (!plain) loginSteps = 2;
    } else if (verb == "DATA") {
      link.m_strOut += "354 go ahead\r\n";
      while ((ok = link.ReadLine(line)) && line != ".\r\n") {
      }
      if (ok) {
        ++m_nMessages;
        link.m_strOut += "250 queued\r\n";
      }
    } else if (verb == "QUIT") {
      link.m_strOut += "221 bye\r\n";
      link.Flush();
      if (link.m_pSsl) SSL_shutdown(link.m_pSsl);
      break;
    } else {
      link.m_strOut += "250 ok\r\n";
    }
  }
  if (link.m_pSsl) SSL_free(link.m_pSsl);
  ERR_clear_error();
  close(fd);
}

}  // namespace benchsupport
