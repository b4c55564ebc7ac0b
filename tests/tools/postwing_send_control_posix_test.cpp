// postwing-send stopped by signals, killed, and continued with --resume,
// against the scripted SMTP server on 127.0.0.1 port 25 (the port every run uses).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;
using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;
using Clock = std::chrono::steady_clock;

const std::string kProgram = POSTWING_BINARY_DIR "/src/tools/postwing-send";
constexpr unsigned int kSmtpPort = 25;
// Far below the session's own waits of minutes: a sender still running then hangs.
constexpr auto kNoHang = std::chrono::seconds(30);

// The scripted server on port 25, or null when another test holds the port.
std::unique_ptr<CScriptedSmtpServer> ServerOnPort25(std::vector<CSmtpScript> scripts) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    try {
      return std::make_unique<CScriptedSmtpServer>(scripts, kSmtpPort);
    } catch (const std::runtime_error&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
  }
  return nullptr;
}

// postwing-send in `dir`, its standard output going to dir/out.txt.
class CSender {
 public:
  CSender(const fs::path& dir, const char* option = nullptr) : m_out(dir / "out.txt") {
    m_pid = fork();
    if (m_pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(126);
      const int out = open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int null = open("/dev/null", O_WRONLY);
      dup2(out, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      execl(kProgram.c_str(), kProgram.c_str(), option, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~CSender() {
    if (m_pid > 0 && m_status < 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  void Signal(int signal) const { kill(m_pid, signal); }
  // The exit status, waiting at most kNoHang; -1 when it did not end then
  // (or ended by a signal).
  int Wait() {
    const auto deadline = Clock::now() + kNoHang;
    int status = 0;
    while (Clock::now() < deadline) {
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        return m_status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  std::string Output() const {
    std::FILE* file = std::fopen(m_out.c_str(), "rb");
    std::string text;
    if (file == nullptr) return text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    return text;
  }

 private:
  fs::path m_out;
  pid_t m_pid = -1;
  int m_status = -1;
};

// The recipient and first body line of a session that delivered a whole
// message, as "address|text"; "" for one that did not.
std::string Delivery(const std::string& session) {
  const std::size_t end = session.find("\r\n.\r\n");
  const std::size_t rcpt = session.find("RCPT TO: <");
  const std::size_t body = session.find("\r\n\r\n", session.find("X-Mailer"));
  if (end == std::string::npos || rcpt == std::string::npos || body == std::string::npos) return "";
  const std::size_t from = rcpt + 10;
  return session.substr(from, session.find('>', from) - from) + "|" +
         session.substr(body + 4, session.find("\r\n", body + 4) - body - 4);
}

class SenderControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kProgram)) << kProgram << " is not built";
  }

  // `files` mail files holding "file <i>", `addresses` address lines.
  void WriteInputs(int files, int addresses) {
    for (int i = 1; i <= files; ++i) {
      m_dir.WriteFile("mail/f" + std::to_string(i), "file " + std::to_string(i) + "\r\n");
    }
    std::string list;
    for (int i = 1; i <= addresses; ++i) list += "a" + std::to_string(i) + "@example.com\r\n";
    m_dir.WriteFile("list.txt", list);
    m_dir.WriteFile("运行报告.txt", "");
    m_dir.WriteFile("ini/Stmp.Ini",
                    FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\nemstp=0\r\n"
                             "[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\nmailsubject=通知\r\n"
                             "[sound]\r\nplay=0\r\n"));
    m_nMessages = files * addresses;
  }

  // How often each delivery was made by the sessions of `server`.
  static void Count(const CScriptedSmtpServer& server, std::map<std::string, int>& counts) {
    for (int i = 0; i < server.SessionCount(); ++i) {
      const std::string delivery = Delivery(server.Received(i));
      if (!delivery.empty()) ++counts[delivery];
    }
  }

  testsupport::CTempDir m_dir;
  int m_nMessages = 0;
};

TEST_F(SenderControlTest, InterruptStopsAfterTheMessageAndResumeSendsTheRestOnce) {
  WriteInputs(2, 3);
  std::map<std::string, int> counts;
  {
    auto server = ServerOnPort25({CSmtpScript::SlowAccepting(std::chrono::milliseconds(150))});
    if (!server) GTEST_SKIP() << "127.0.0.1:25 is taken";
    CSender sender(m_dir.Path());
    ASSERT_TRUE(server->WaitForSessions(3, kNoHang));
    sender.Signal(SIGINT);
    EXPECT_EQ(sender.Wait(), 3);
    EXPECT_EQ(sender.Output(), "发送已停止.\n\n");
    Count(*server, counts);
  }
  const std::string report = m_dir.ReadFile("运行报告.txt");
  EXPECT_EQ(report.substr(report.size() - FromUtf8(" , 已停止").size()), FromUtf8(" , 已停止"));

  // A changed mail file refuses to continue; put back as it was, it continues.
  const fs::path changed = m_dir.Path() / "mail/f2";
  const auto stamp = fs::last_write_time(changed);
  m_dir.WriteFile("mail/f2", "file 2, changed\r\n");
  {
    auto server = ServerOnPort25({CSmtpScript::Accepting()});
    ASSERT_TRUE(server);
    CSender refused(m_dir.Path(), "--resume");
    EXPECT_EQ(refused.Wait(), 1);
    EXPECT_EQ(refused.Output(),
              "邮件发送错误!\n邮件目录、邮件地址列表或邮件主题已改变, 无法从中断处继续.\n\n");
    EXPECT_EQ(server->SessionCount(), 0);

    m_dir.WriteFile("mail/f2", "file 2\r\n");
    fs::last_write_time(changed, stamp);
    CSender resumed(m_dir.Path(), "--resume");
    EXPECT_EQ(resumed.Wait(), 0);
    EXPECT_EQ(resumed.Output(), "所有邮件已经发送成功.\n\n");
    Count(*server, counts);
  }
  EXPECT_EQ(static_cast<int>(counts.size()), m_nMessages);
  for (const auto& [delivery, times] : counts) EXPECT_EQ(times, 1) << delivery;
  EXPECT_FALSE(fs::exists(m_dir.Path() / "ini/Send.Jnl"));
}

TEST_F(SenderControlTest, InterruptDoesNotWaitForASilentServer) {
  WriteInputs(1, 2);
  auto server = ServerOnPort25({CSmtpScript()});
  if (!server) GTEST_SKIP() << "127.0.0.1:25 is taken";
  CSender sender(m_dir.Path());
  ASSERT_TRUE(server->WaitForSessions(1, kNoHang));
  sender.Signal(SIGTERM);
  EXPECT_EQ(sender.Wait(), 3);
  EXPECT_EQ(sender.Output(), "发送已停止.\n\n");
}

TEST_F(SenderControlTest, ResumeAfterKillRepeatsAtMostOneMessage) {
  WriteInputs(3, 4);
  std::map<std::string, int> counts;
  {
    auto server = ServerOnPort25({CSmtpScript::SlowAccepting(std::chrono::milliseconds(60))});
    if (!server) GTEST_SKIP() << "127.0.0.1:25 is taken";
    CSender sender(m_dir.Path());
    ASSERT_TRUE(server->WaitForSessions(6, kNoHang));
    sender.Signal(SIGKILL);
    EXPECT_EQ(sender.Wait(), 1000 + SIGKILL);
    Count(*server, counts);
  }
  {
    auto server = ServerOnPort25({CSmtpScript::Accepting()});
    ASSERT_TRUE(server);
    CSender resumed(m_dir.Path(), "--resume");
    EXPECT_EQ(resumed.Wait(), 0);
    Count(*server, counts);
  }
  EXPECT_EQ(static_cast<int>(counts.size()), m_nMessages);
  int repeated = 0;
  for (const auto& [delivery, times] : counts) repeated += times - 1;
  EXPECT_LE(repeated, 1);
}

TEST(PostwingSendResume, WithoutAnInterruptedRunThereIsNothingToContinue) {
  ASSERT_TRUE(fs::exists(kProgram));
  testsupport::CTempDir dir;
  dir.WriteFile("ini/Stmp.Ini", "[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\n");
  dir.WriteFile("mail/a", "x");
  dir.WriteFile("list.txt", "a@example.com\r\n");
  CSender sender(dir.Path(), "--resume");
  EXPECT_EQ(sender.Wait(), 1);
  EXPECT_EQ(sender.Output(), "邮件发送错误!\n没有中断的发送可以继续.\n\n");
}

}  // namespace
