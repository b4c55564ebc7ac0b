#include "baseline_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace benchsupport {
namespace {

// Sends one command and reads one reply; true when the reply starts with `code`.
bool Step(int fd, const std::string& command, char code) {
  if (!command.empty() &&
      send(fd, command.data(), command.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(command.size())) {
    return false;
  }
  char reply[1024];
  ssize_t got = recv(fd, reply, sizeof reply, 0);
  return got > 0 && reply[0] == code;
}

}  // namespace

CBaselineClient::CBaselineClient(std::string host, unsigned int port, std::string sender,
                                 std::string recipient, const std::string& message)
    : m_strHost(std::move(host)),
      m_nPort(port),
      m_strHelo("HELO baseline\r\n"),
      m_strMail("MAIL From: <" + sender + ">\r\n"),
      m_strRcpt("RCPT TO: <" + recipient + ">\r\n"),
      m_strData(message + "\r\n.\r\n") {}

bool CBaselineClient::SendOne() const {
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(m_nPort));
  if (inet_pton(AF_INET, m_strHost.c_str(), &server.sin_addr) != 1) return false;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0 &&
            Step(fd, "", '2') && Step(fd, m_strHelo, '2') && Step(fd, m_strMail, '2') &&
            Step(fd, m_strRcpt, '2') && Step(fd, "DATA\r\n", '3') && Step(fd, m_strData, '2') &&
            Step(fd, "QUIT\r\n", '2');
  close(fd);
  return ok;
}

}  // namespace benchsupport
