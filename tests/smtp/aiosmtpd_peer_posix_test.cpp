// The SMTP client against a server written by others: Debian's aiosmtpd,
// started by the test on a free loopback port.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dispatch/footer.h"
#include "message/mail_template.h"
#include "platform/codepage.h"
#include "platform/net.h"
#include "smtp/smtp_session.h"
#include "support/temp_dir.h"

namespace {

const char kPython[] = "/usr/bin/python3";

bool HasAiosmtpd() {
  const std::string probe = std::string(kPython) + " -c 'import aiosmtpd' >/dev/null 2>&1";
  return std::system(probe.c_str()) == 0;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// One run of tests/smtp/aiosmtpd_peer.py; see the script for what it prints.
class CPeerServer {
 public:
  explicit CPeerServer(const char* mode) {
    const std::string command = std::string(kPython) + " " POSTWING_SOURCE_DIR
                                "/tests/smtp/aiosmtpd_peer.py " + mode;
    m_pipe = popen(command.c_str(), "r");
    std::string first = ReadLine();
    if (first.compare(0, 5, "PORT ") == 0) m_nPort = std::stoul(first.substr(5));
  }
  ~CPeerServer() {
    if (m_pipe) pclose(m_pipe);
  }
  unsigned int Port() const { return m_nPort; }

  // What the server saw, once the client's session has ended: key -> values.
  std::vector<std::pair<std::string, std::string>> Report() {
    std::vector<std::pair<std::string, std::string>> report;
    for (std::string line = ReadLine(); !line.empty() && line != "END"; line = ReadLine()) {
      const std::size_t space = line.find(' ');
      report.emplace_back(line.substr(0, space),
                          space == std::string::npos ? "" : line.substr(space + 1));
    }
    return report;
  }

 private:
  std::string ReadLine() {
    std::string line;
    int c;
    while (m_pipe && (c = std::fgetc(m_pipe)) != EOF && c != '\n') line += static_cast<char>(c);
    return line;
  }

  FILE* m_pipe = nullptr;
  unsigned int m_nPort = 0;
};

class AiosmtpdPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HasAiosmtpd()) GTEST_SKIP() << kPython << " has no aiosmtpd (Debian package python3-aiosmtpd)";
  }

  static std::string Helo() {
    std::string host = platform::LocalHostName(80);
    return host.empty() ? "localhost" : host;
  }
};

TEST_F(AiosmtpdPeerTest, DeliversWithoutLogin) {
  CPeerServer peer("plain");
  ASSERT_NE(peer.Port(), 0u);
  CMailItem item;
  item.m_strSender = "me@x.cn";
  item.m_strSubject = "\xD6\xD0\xCE\xC4";
  item.AddRecipientList("Zhang <z@x.cn>;l@x.cn");
  item.m_strBody = "first\n.\n.second\nlast";
  {
    CSMTP smtp("127.0.0.1", peer.Port());
    ASSERT_TRUE(smtp.Connect()) << smtp.GetErrorText();
    ASSERT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
    ASSERT_TRUE(smtp.Disconnect()) << smtp.GetErrorText();
  }
  const auto report = peer.Report();
  ASSERT_EQ(report.size(), 6u);
  EXPECT_EQ(report[0], std::make_pair(std::string("HELO"), Helo()));
  EXPECT_EQ(report[1].second, "-");
  EXPECT_EQ(report[2].second, "me@x.cn");
  EXPECT_EQ(report[3].second, "z@x.cn");
  EXPECT_EQ(report[4].second, "l@x.cn");
  // The server undoes the dot escaping: it holds the message as written,
  // with the empty line the client always puts before the final dot.
  EXPECT_EQ(FromHex(report[5].second), item.m_strHeader +
                                           "X-Mailer: CSMTP class for MFC\r\n\r\n"
                                           "first\r\n.\r\n.second\r\nlast\r\n\r\n");
}

TEST_F(AiosmtpdPeerTest, DeliversAComposedMessageFromItsSharedPieces) {
  // A text whose dot lines must be doubled on the wire, and an attachment.
  testsupport::CTempDir dir;
  dir.WriteFile("n.txt", ".\n.NET\nend\n");
  std::string attachment;
  for (int i = 0; i < 5000; ++i) attachment += static_cast<char>(i * 7);
  dir.WriteFile("n/data.bin", attachment);
  message::CMailTemplate mail;
  std::string error;
  ASSERT_TRUE(mail.Load(dir.Path() / "n.txt", error)) << error;
  message::ComposeOptions options;
  options.m_strSender = "me@x.cn";
  options.m_strFooter = MailFooter();
  CMailItem item;
  item.m_strSender = "me@x.cn";
  item.AddRecipientList("z@x.cn");
  mail.Compose(nullptr, "news", options, item);
  ASSERT_FALSE(item.m_wireBody.empty());
  std::string pieces;
  for (const auto& piece : item.m_wireBody) pieces += *piece;
  CPeerServer peer("plain");
  ASSERT_NE(peer.Port(), 0u);
  {
    CSMTP smtp("127.0.0.1", peer.Port());
    ASSERT_TRUE(smtp.Connect()) << smtp.GetErrorText();
    ASSERT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
    ASSERT_TRUE(smtp.Disconnect()) << smtp.GetErrorText();
  }
  // The pieces go out as they are and stay as they were.
  std::string after;
  for (const auto& piece : item.m_wireBody) after += *piece;
  EXPECT_EQ(after, pieces);
  EXPECT_NE(pieces.find("\r\n..\r\n..NET\r\n"), std::string::npos);
  std::string unstuffed;
  for (std::size_t at = 0; at < pieces.size();) {
    const std::size_t end = pieces.find("\r\n", at) + 2;
    const std::string line = pieces.substr(at, end - at);
    unstuffed += line.starts_with(".") ? line.substr(1) : line;
    at = end;
  }
  const auto report = peer.Report();
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(FromHex(report[4].second),
            item.m_strHeader + "X-Mailer: CSMTP class for MFC\r\n\r\n" + unstuffed + "\r\n");
}

TEST_F(AiosmtpdPeerTest, LogsInWithAuthLogin) {
  CPeerServer peer("login");
  ASSERT_NE(peer.Port(), 0u);
  CMailItem item;
  item.m_strSender = "me@x.cn";
  item.AddRecipientList("a@x.cn");
  item.m_strBody = "hello";
  {
    CSMTP smtp("127.0.0.1", peer.Port());
    smtp.SetLogin({1, "peer-user", "peer-secret"});
    ASSERT_TRUE(smtp.Connect()) << smtp.GetErrorText();
    ASSERT_TRUE(smtp.SendMail(item)) << smtp.GetErrorText();
    ASSERT_TRUE(smtp.Disconnect()) << smtp.GetErrorText();
  }
  const auto report = peer.Report();
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(report[1].second, "peer-user");
  EXPECT_EQ(report[3].second, "a@x.cn");
}

TEST_F(AiosmtpdPeerTest, WrongPasswordIsARefusedLogin) {
  CPeerServer peer("login");
  ASSERT_NE(peer.Port(), 0u);
  {
    CSMTP smtp("127.0.0.1", peer.Port());
    smtp.SetLogin({1, "peer-user", "wrong"});
    EXPECT_FALSE(smtp.Connect());
    EXPECT_EQ(smtp.GetErrorText(), platform::FromUtf8("邮件服务器(SMTP)验证失败."));
  }
  const auto report = peer.Report();
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(report[1].second, "-");
}

}  // namespace
