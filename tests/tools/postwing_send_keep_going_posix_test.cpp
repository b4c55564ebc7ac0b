// postwing-send in keep-going mode against an aiosmtpd server with a
// delivery policy (tests/tools/aiosmtpd_policy_peer.py): unknown users,
// greylisting, a rate limit, a message refused after the dot, a refused
// login and a server that is not there. Each deliverable recipient gets
// exactly one message over the run and the run sending again what did not
// arrive; the record, its undelivered list, the report line and the exit
// status agree.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/send_record_reader.h"
#include "platform/codepage.h"
#include "support/scripted_smtp_server.h"
#include "support/peer_process.h"
#include "support/sender_run.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

const std::string kProgram = POSTWING_BINARY_DIR "/src/tools/postwing-send";
const char kPython[] = "/usr/bin/python3";

using Outcome = testsupport::SenderOutcome;
using testsupport::RunSender;

// The policy server in a child process, writing into `out`.
class CPolicyPeer {
 public:
  CPolicyPeer(const fs::path& out, bool login) : m_out(out) {
    fs::create_directories(out);
    m_pid = fork();
    if (m_pid == 0) {
      const std::string script = POSTWING_SOURCE_DIR "/tests/tools/aiosmtpd_policy_peer.py";
      execl(kPython, "python3", script.c_str(), out.c_str(), login ? "login" : "plain",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && m_nPort == 0; ++i) {
      std::FILE* file = std::fopen((out / "port").c_str(), "r");
      if (file != nullptr) {
        if (std::fscanf(file, "%u", &m_nPort) != 1) m_nPort = 0;
        std::fclose(file);
      }
      int status = 0;
      if (m_nPort == 0 && waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~CPolicyPeer() {
    testsupport::StopPeerProcess(m_pid, m_out / "stop");
  }
  unsigned int Port() const { return m_nPort; }
  // Every recipient of every message taken, sorted.
  std::vector<std::string> Delivered() const {
    std::vector<std::string> lines;
    std::FILE* file = std::fopen((m_out / "delivered").c_str(), "r");
    if (file == nullptr) return lines;
    char line[512];
    while (std::fgets(line, sizeof line, file) != nullptr) {
      std::string text = line;
      if (!text.empty() && text.back() == '\n') text.pop_back();
      lines.push_back(text);
    }
    std::fclose(file);
    std::sort(lines.begin(), lines.end());
    return lines;
  }

 private:
  fs::path m_out;
  pid_t m_pid = -1;
  unsigned int m_nPort = 0;
};

class SenderKeepGoingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kProgram)) << kProgram << " is not built";
    const std::string probe = std::string(kPython) + " -c 'import aiosmtpd' >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) GTEST_SKIP() << "no aiosmtpd (python3-aiosmtpd)";
    m_dir.WriteFile("mail/a.txt", FromUtf8("通知\r\n"));
    m_dir.WriteFile("运行报告.txt", "");
  }

  void WriteSettings(unsigned int port, const std::string& list,
                     const std::string& smtpExtra = "emstp=0\r\n") {
    m_dir.WriteFile("list.txt", list);
    m_dir.WriteFile("ini/Stmp.Ini", "[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.com\r\n" +
                                        smtpExtra + "port=" + std::to_string(port) +
                                        "\r\n[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\n"
                                        "mailsubject=s\r\nonerror=1\r\nretry=0\r\n[sound]\r\nplay=0\r\n");
  }

  // The rows of the newest record, as "recipient result reply".
  std::vector<std::string> NewestRows() const {
    std::vector<RecordRow> rows;
    ReadSendRecord(NewestRecord(m_dir.Path()), rows);
    std::vector<std::string> lines;
    for (const RecordRow& row : rows) {
      lines.push_back(row.m_strRecipient + " " + platform::ToUtf8(row.m_strResult) + " " +
                      row.m_strReply);
    }
    return lines;
  }

  std::string LastReportStatus() const {
    const std::string report = m_dir.ReadFile("运行报告.txt");
    const std::size_t at = report.rfind(" , ");
    return at == std::string::npos ? std::string() : platform::ToUtf8(report.substr(at + 3));
  }

  testsupport::CTempDir m_dir;
};

TEST_F(SenderKeepGoingTest, GoesPastRefusalsAndSendsAgainWhatDidNotArrive) {
  CPolicyPeer peer(m_dir.Path() / "peer", false);
  ASSERT_NE(peer.Port(), 0u);
  WriteSettings(peer.Port(),
                "one@x.cn\r\nUnknown <unknown1@x.cn>\r\ngrey1@x.cn\r\nspam1@x.cn\r\n"
                "unknown2@x.cn;Two <two@x.cn>\r\nONE@x.cn\r\nthree@x.cn\r\n");

  const Outcome first = RunSender(m_dir.Path());
  EXPECT_EQ(first.status, 4) << first.output;
  const fs::path record = NewestRecord(m_dir.Path());
  EXPECT_EQ(first.output, "发送完成: 已送达 2 封, 未送达 5 封.\n发送记录: " +
                              platform::DisplayName(record) + "\n\n");
  EXPECT_EQ(NewestRows(),
            (std::vector<std::string>{
                "one@x.cn 已送达 250 Message accepted",
                "Unknown <unknown1@x.cn> 被拒收 550 5.1.1 User unknown",
                "grey1@x.cn 暂时失败 451 4.7.1 Greylisted, try again later",
                "spam1@x.cn 被拒收 554 5.7.1 Message refused",
                "unknown2@x.cn 被拒收 550 5.1.1 User unknown",
                "Two <two@x.cn> 已送达 250 Message accepted",
                "ONE@x.cn 重复 ",
                "three@x.cn 暂时失败 421 4.7.0 try again later",
            }));
  std::string undelivered = record.string();
  undelivered.replace(undelivered.size() - 4, 4, "-未送达.txt");
  EXPECT_EQ(m_dir.ReadFile(fs::relative(undelivered, m_dir.Path()).string()),
            "Unknown <unknown1@x.cn>\r\ngrey1@x.cn\r\nspam1@x.cn\r\nunknown2@x.cn\r\nthree@x.cn\r\n");
  EXPECT_EQ(LastReportStatus(), "未送达 5 封, 发送记录/" + record.filename().string());
  EXPECT_EQ(RecordPathFromStatus(m_dir.Path(), FromUtf8(LastReportStatus())), record);

  // Again what did not arrive, once the rate limit is over: the temporary
  // failures only, each once.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const Outcome again = RunSender(m_dir.Path(), "--retry-failed");
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_NE(NewestRecord(m_dir.Path()), record);
  EXPECT_EQ(NewestRows(), (std::vector<std::string>{"grey1@x.cn 已送达 250 Message accepted",
                                                    "three@x.cn 已送达 250 Message accepted"}));
  EXPECT_EQ(peer.Delivered(),
            (std::vector<std::string>{"grey1@x.cn", "one@x.cn", "three@x.cn", "two@x.cn"}));
  EXPECT_EQ(LastReportStatus(), "成功");
  // Nothing is left to send again.
  EXPECT_EQ(RunSender(m_dir.Path(), "--retry-failed").status, 1);
}

TEST_F(SenderKeepGoingTest, RefusedLoginAndNoServerEndTheRun) {
  {
    CPolicyPeer peer(m_dir.Path() / "peer", true);
    ASSERT_NE(peer.Port(), 0u);
    WriteSettings(peer.Port(), "one@x.cn\r\ntwo@x.cn\r\n",
                  "emstp=1\r\nName=peer-user\r\nPassword=wrong\r\n");
    const Outcome outcome = RunSender(m_dir.Path());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output.find("邮件发送错误!\n邮件服务器(SMTP)验证失败.\n已送达 0 封, 未送达 2 封."), 0u)
        << outcome.output;
    EXPECT_EQ(LastReportStatus().find("邮件服务器(SMTP)验证失败., 发送记录/"), 0u);
    EXPECT_EQ(NewestRows().size(), 2u);
    EXPECT_TRUE(peer.Delivered().empty());
  }
  WriteSettings(testsupport::CScriptedSmtpServer::UnusedPort(), "one@x.cn\r\n");
  const Outcome outcome = RunSender(m_dir.Path());
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.output.find("无法连接邮件服务器."), std::string::npos);
}

}  // namespace
