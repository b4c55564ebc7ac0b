// The SMTP client against a real Postfix that the test starts with its own
// configuration folder on a free port of 127.0.0.1 (tests/smtp/postfix_peer.sh):
// stock relay settings, mail for example.cn delivered into a Maildir.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "smtp/smtp_session.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;
using platform::ToUtf8;

const char kPostfix[] = "/usr/sbin/postfix";

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The output of a command, line by line.
std::vector<std::string> CommandLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return lines;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  pclose(pipe);
  return lines;
}

class PostfixRelayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists(kPostfix) || geteuid() != 0) return;
    s_dir = new testsupport::CTempDir();
    s_nPort = testsupport::CScriptedSmtpServer::UnusedPort();
    const std::string root = s_dir->Path().string();
    const std::string certs = "bash " POSTWING_SOURCE_DIR "/tests/smtp/make_test_certs.sh " + root +
                              "/certs >/dev/null 2>&1";
    const std::string start = "bash " POSTWING_SOURCE_DIR "/tests/smtp/postfix_peer.sh start " +
                              root + "/postfix " + std::to_string(s_nPort) + " " + root +
                              "/certs >/dev/null 2>&1";
    s_bStarted = std::system(certs.c_str()) == 0 && std::system(start.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    if (!s_dir) return;
    const std::string stop = "bash " POSTWING_SOURCE_DIR "/tests/smtp/postfix_peer.sh stop " +
                             s_dir->Path().string() + "/postfix >/dev/null 2>&1";
    std::system(stop.c_str());
    delete s_dir;
    s_dir = nullptr;
  }

  void SetUp() override {
    if (!fs::exists(kPostfix)) GTEST_SKIP() << "Postfix is not installed (Debian package postfix)";
    if (geteuid() != 0) GTEST_SKIP() << "starting a private Postfix needs root";
    ASSERT_TRUE(s_bStarted) << "the private Postfix did not start; see its maillog";
    m_saved = CSMTP::SetTimeouts({5000, 10000, 10000});
  }
  void TearDown() override {
    if (s_bStarted) CSMTP::SetTimeouts(m_saved);
  }

  static fs::path Inbox() { return s_dir->Path() / "postfix/mail/inbox/new"; }

  // Waits until the Maildir holds `count` messages; their paths.
  static std::vector<std::string> WaitForMail(std::size_t count) {
    std::vector<std::string> files;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      files.clear();
      std::error_code error;
      for (const auto& entry : fs::directory_iterator(Inbox(), error)) files.push_back(entry.path());
      if (files.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return files;
  }

  static bool Send(int security, int index) {
    CMailItem item;
    item.m_strSender = "sender@example.cn";
    item.AddRecipientList(FromUtf8("收件人<box@example.cn>"));
    item.m_strSubject = FromUtf8("本机转发 ") + std::to_string(index);
    item.m_strBody = FromUtf8("第") + std::to_string(index) + FromUtf8("封信\n");
    CSMTP smtp("127.0.0.1", s_nPort);
    smtp.SetSecurity({security, (s_dir->Path() / "certs/ca.pem").string()});
    const bool sent = smtp.Connect() && smtp.SendMail(item) && smtp.Disconnect();
    s_strLastError = smtp.GetErrorText();
    return sent;
  }

  static inline testsupport::CTempDir* s_dir = nullptr;
  static inline unsigned int s_nPort = 0;
  static inline bool s_bStarted = false;
  static inline std::string s_strLastError;
  SmtpTimeouts m_saved;
};

// One run in each mode: plain EHLO delivers every message, STARTTLS one more,
// and mode 0 meets the "ESMTP" greeting and asks for a login.
TEST_F(PostfixRelayTest, DeliversInTheEhloModesAndModeZeroWantsALogin) {
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(Send(SecurityPlainEhlo, i)) << ToUtf8(s_strLastError);
  }
  EXPECT_TRUE(Send(SecurityStartTls, 4)) << ToUtf8(s_strLastError);
  EXPECT_FALSE(Send(SecurityNone, 5));
  EXPECT_EQ(ToUtf8(s_strLastError), "邮件服务器(SMTP)需要验证.");

  const std::vector<std::string> files = WaitForMail(4);
  ASSERT_EQ(files.size(), 4u);
  std::string command = "/usr/bin/python3 " POSTWING_SOURCE_DIR "/tests/smtp/parse_mail.py";
  for (const std::string& file : files) command += " " + file;
  std::vector<std::string> subjects;
  std::vector<std::string> bodies;
  for (const std::string& line : CommandLines(command)) {
    const std::string key = line.substr(0, line.find(' '));
    const std::string value = line.substr(line.find(' ') + 1);
    if (key == "SUBJECT") subjects.push_back(FromHex(value));
    if (key == "BODY") bodies.push_back(FromHex(value));
    if (key == "TONAME") {
      EXPECT_EQ(FromHex(value), "收件人");
    }
  }
  std::sort(subjects.begin(), subjects.end());
  std::sort(bodies.begin(), bodies.end());
  EXPECT_EQ(subjects, (std::vector<std::string>{"本机转发 1", "本机转发 2", "本机转发 3",
                                                "本机转发 4"}));
  EXPECT_EQ(bodies, (std::vector<std::string>{"第1封信\n\n", "第2封信\n\n", "第3封信\n\n",
                                              "第4封信\n\n"}));
}

}  // namespace
