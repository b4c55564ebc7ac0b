// postwing-send as a scheduled job would run it: a real folder and address
// list, sending to an aiosmtpd peer on 127.0.0.1 port 25.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/codepage.h"
#include "smtp/base64.h"
#include "support/peer_process.h"
#include "support/sender_run.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

const std::string kProgram = POSTWING_BINARY_DIR "/src/tools/postwing-send";

using Outcome = testsupport::SenderOutcome;
using testsupport::RunSender;

// aiosmtpd on 127.0.0.1:25 in a child process, storing messages in `out`.
class CSmtpSink {
 public:
  explicit CSmtpSink(const fs::path& out) : m_out(out) {
    const std::string script = POSTWING_SOURCE_DIR "/tests/tools/smtp_sink.py";
    // Another test may hold the port for a moment: try a few times.
    for (int attempt = 0; attempt < 5 && !m_bReady; ++attempt) {
      m_pid = fork();
      if (m_pid == 0) {
        execl("/usr/bin/python3", "python3", script.c_str(), m_out.c_str(), "25",
              static_cast<char*>(nullptr));
        _exit(127);
      }
      for (int i = 0; i < 200 && !m_bReady; ++i) {
        m_bReady = fs::exists(m_out / "ready");
        int status = 0;
        if (!m_bReady && waitpid(m_pid, &status, WNOHANG) == m_pid) {
          m_pid = -1;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (!m_bReady) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  }
  ~CSmtpSink() {
    testsupport::StopPeerProcess(m_pid, m_out / "stop");
  }
  bool Ready() const { return m_bReady; }

 private:
  fs::path m_out;
  pid_t m_pid = -1;
  bool m_bReady = false;
};

void WriteSettings(const testsupport::CTempDir& dir, const std::string& address) {
  dir.WriteFile("ini/Stmp.Ini", FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\n"
                                         "emstp=0\r\n[maildir]\r\nmaildir=mail\r\naddress=") +
                                    address +
                                    FromUtf8("\r\nmailsubject=本周通知\r\n[sound]\r\nplay=0\r\n"));
}

TEST(PostwingSend, SendsTheFolderToTheListAndReports) {
  ASSERT_TRUE(fs::exists(kProgram)) << kProgram << " is not built";
  testsupport::CTempDir dir;
  fs::create_directory(dir.Path() / "sink");
  CSmtpSink sink(dir.Path() / "sink");
  if (!sink.Ready()) GTEST_SKIP() << "cannot listen on 127.0.0.1:25 with /usr/bin/python3 aiosmtpd";

  dir.WriteFile("mail/a.txt", FromUtf8("第一封信\r\n"));
  dir.WriteFile("mail/b.txt", FromUtf8("第二封信\r\n"));
  dir.WriteFile("list.txt", "one@example.com\r\n\r\n Two <two@example.com>\r\n");
  dir.WriteFile("运行报告.txt", "");
  WriteSettings(dir, "list.txt");

  const Outcome outcome = RunSender(dir.Path());
  EXPECT_EQ(outcome.output, "所有邮件已经发送成功.\n\n");
  EXPECT_EQ(outcome.status, 0);

  int messages = 0;
  int toOne = 0;
  for (int i = 1; i <= 4; ++i) {
    std::string message = dir.ReadFile("sink/" + std::to_string(i) + ".msg");
    // The body may go on the wire with CR LF or LF line ends.
    for (std::size_t at; (at = message.find("\r\n")) != std::string::npos;) message.erase(at, 1);
    if (message.empty()) continue;
    ++messages;
    if (message.find("TO one@example.com\n") != std::string::npos) ++toOne;
    EXPECT_NE(message.find("FROM sender@example.com\n"), std::string::npos);
    EXPECT_NE(message.find("Subject: =?GBK?B?" + Base64Encode(FromUtf8("本周通知")) + "?=\n"),
              std::string::npos);
    EXPECT_NE(message.find(FromUtf8("封信\n\n\n") + std::string(60, '=')), std::string::npos);
  }
  EXPECT_EQ(messages, 4);
  EXPECT_EQ(toOne, 2);
  const std::string report = dir.ReadFile("运行报告.txt");
  const std::string tail = " , 2 , 2 , " + FromUtf8("成功");
  ASSERT_EQ(report.size(), 2 + 10 + 3 + 5 + tail.size());  // "\r\n", date, " , ", time
  EXPECT_EQ(report.substr(0, 2), "\r\n");
  EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

TEST(PostwingSend, PrintsEveryMessageAndFailsWithoutAnAddressList) {
  ASSERT_TRUE(fs::exists(kProgram)) << kProgram << " is not built";
  testsupport::CTempDir dir;
  dir.WriteFile("mail/a.txt", "x");
  WriteSettings(dir, "");
  const Outcome outcome = RunSender(dir.Path());
  EXPECT_EQ(outcome.output,
            "发送错误!\n没有设置邮件地址列表文件.\n\n邮件发送错误!\n没有设置邮件地址列表文件.\n\n");
  EXPECT_EQ(outcome.status, 1);

  const Outcome help = RunSender(dir.Path(), "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("postwing-send"), std::string::npos);
  EXPECT_EQ(RunSender(dir.Path(), "--bogus").status, 2);
}

}  // namespace
