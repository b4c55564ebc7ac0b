// postwing-send on a Windows console, as a person runs it from a command
// window: Ctrl+C (GenerateConsoleCtrlEvent, as the key sends it) stops the
// run after the message in flight and --resume sends the rest once; the
// progress line is drawn on the console in Chinese whatever the console's
// code page, while redirected output stays UTF-8. Run on an Xvfb display:
// Wine's consoles work only with one.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/child_process_win32.h"
#include "support/scripted_smtp_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;
using testsupport::CChildProcess;
using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;

constexpr DWORD kNoHangMs = 60000;
constexpr auto kSessionsWait = std::chrono::seconds(60);

class SenderConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(testsupport::SenderProgramPath()));
    if (!testsupport::EnsureConsole()) GTEST_SKIP() << "no console to be had";
  }

  // `files` mail files x `addresses` recipients, sent to `port`.
  void WriteInputs(int files, int addresses, unsigned int port) {
    for (int i = 1; i <= files; ++i) {
      m_dir.WriteFile("mail/f" + std::to_string(i), "file " + std::to_string(i) + "\r\n");
    }
    std::string list;
    for (int i = 1; i <= addresses; ++i) list += "a" + std::to_string(i) + "@example.com\r\n";
    m_dir.WriteFile("list.txt", list);
    m_dir.WriteFile("运行报告.txt", "");
    WriteSettings(port);
    m_nMessages = files * addresses;
  }
  // The settings, sending to `port` (a run continues with another server).
  void WriteSettings(unsigned int port) {
    m_dir.WriteFile("ini/Stmp.Ini",
                    FromUtf8("[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\nemstp=0\r\nport=") +
                        std::to_string(port) +
                        FromUtf8("\r\n[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\nmailsubject=通知\r\n"
                                 "[sound]\r\nplay=0\r\n"));
  }

  CChildProcess::Options OnConsole(const std::string& args = "") const {
    CChildProcess::Options options;
    options.m_program = testsupport::SenderProgramPath();
    options.m_strArgs = args;
    options.m_dir = m_dir.Path();
    options.m_outFile = m_dir.Path() / "out.txt";
    options.m_bConsole = true;
    return options;
  }
  std::string Output() const { return m_dir.ReadFile("out.txt"); }

  // Each whole delivery ("recipient|first body line") the server took.
  static void Count(const CScriptedSmtpServer& server, std::map<std::string, int>& counts) {
    for (int i = 0; i < server.SessionCount(); ++i) {
      const std::string session = server.Received(i);
      const std::size_t rcpt = session.find("RCPT TO: <");
      const std::size_t body = session.find("\r\n\r\n", session.find("X-Mailer"));
      if (session.find("\r\n.\r\n") == std::string::npos || rcpt == std::string::npos ||
          body == std::string::npos) {
        continue;
      }
      ++counts[session.substr(rcpt + 10, session.find('>', rcpt) - rcpt - 10) + "|" +
               session.substr(body + 4, session.find("\r\n", body + 4) - body - 4)];
    }
  }

  testsupport::CTempDir m_dir;
  int m_nMessages = 0;
};

TEST_F(SenderConsoleTest, CtrlCStopsAfterTheMessageAndResumeSendsTheRestOnce) {
  std::map<std::string, int> counts;
  {
    CScriptedSmtpServer server({CSmtpScript::SlowAccepting(std::chrono::milliseconds(150))});
    WriteInputs(2, 3, server.Port());
    CChildProcess sender(OnConsole());
    ASSERT_TRUE(sender.Started());
    ASSERT_TRUE(server.WaitForSessions(3, kSessionsWait));
    ASSERT_TRUE(CChildProcess::SendCtrlC()) << GetLastError();
    DWORD status = 0;
    ASSERT_TRUE(sender.Wait(kNoHangMs, status)) << "Ctrl+C did not end the run";
    EXPECT_EQ(status, 3u);
    EXPECT_EQ(Output(), "发送已停止.\r\n\r\n");
    Count(server, counts);
  }
  const std::string report = m_dir.ReadFile("运行报告.txt");
  const std::string stopped = FromUtf8(" , 已停止");
  ASSERT_GE(report.size(), stopped.size());
  EXPECT_EQ(report.substr(report.size() - stopped.size()), stopped);
  EXPECT_LT(static_cast<int>(counts.size()), m_nMessages);

  CScriptedSmtpServer server({CSmtpScript::Accepting()});
  WriteSettings(server.Port());
  CChildProcess resumed(OnConsole("--resume"));
  DWORD status = 1;
  ASSERT_TRUE(resumed.Wait(kNoHangMs, status));
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(Output(), "所有邮件已经发送成功.\r\n\r\n");
  Count(server, counts);
  EXPECT_EQ(static_cast<int>(counts.size()), m_nMessages);
  for (const auto& [delivery, times] : counts) EXPECT_EQ(times, 1) << delivery;
  EXPECT_FALSE(fs::exists(m_dir.Path() / "ini/Send.Jnl"));
}

// The progress line goes to the console only, drawn as characters; the
// messages redirected to a file stay UTF-8 bytes.
TEST_F(SenderConsoleTest, ProgressLineIsDrawnOnTheConsoleInChinese) {
  CScriptedSmtpServer server({CSmtpScript::Accepting()});
  WriteInputs(2, 2, server.Port());
  CChildProcess sender(OnConsole());
  DWORD status = 1;
  ASSERT_TRUE(sender.Wait(kNoHangMs, status));
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(Output(), "所有邮件已经发送成功.\r\n\r\n");
  const std::wstring screen = testsupport::ConsoleText();
  EXPECT_NE(screen.find(L"第 4 / 4 封"), std::wstring::npos);
  EXPECT_NE(screen.find(L"每分钟"), std::wstring::npos);
  // Redrawn in place: one line, however many messages.
  EXPECT_EQ(screen.find(L"第 1 / 4 封"), std::wstring::npos);
}

}  // namespace
