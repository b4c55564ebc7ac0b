// The benchmarks' yardstick: a minimal lock-step SMTP client over plain
// blocking sockets with TCP_NODELAY, sending the prepared message and its
// final dot in one send. It does nothing CSMTP does not do, and no more.
#pragma once

#include <string>

namespace benchsupport {

class CBaselineClient {
 public:
  // `message` is the DATA content with CR LF line ends and dots already
  // escaped, without the final "\r\n.\r\n".
  CBaselineClient(std::string host, unsigned int port, std::string sender, std::string recipient,
                  const std::string& message);

  // One session: greeting, HELO, MAIL, RCPT, DATA, message, QUIT.
  bool SendOne() const;

 private:
  std::string m_strHost;
  unsigned int m_nPort;
  std::string m_strHelo;
  std::string m_strMail;
  std::string m_strRcpt;
  std::string m_strData;  // message and terminator, sent at once
};

}  // namespace benchsupport
