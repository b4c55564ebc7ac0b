// A keep-going run against a real Postfix that the test starts
// (tests/smtp/postfix_peer.sh, its own configuration folder, a free port of
// 127.0.0.1) with an access map that rejects some recipients and defers
// others: each recipient's outcome follows Postfix's own reply.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch_run_fixture.h"
#include "dispatch/send_record_reader.h"

namespace batchtest {
namespace {

namespace fs = std::filesystem;

const char kPostfix[] = "/usr/sbin/postfix";

class KeepGoingPostfixTest : public BatchRunTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kPostfix)) GTEST_SKIP() << "Postfix is not installed (Debian package postfix)";
    if (geteuid() != 0) GTEST_SKIP() << "starting a private Postfix needs root";
    BatchRunTest::SetUp();
    m_nPort = testsupport::CScriptedSmtpServer::UnusedPort();
    m_dir.WriteFile("access", "refused@example.cn 554 5.7.1 Not here\n"
                              "unknown@example.cn 550 5.1.1 User unknown\n"
                              "later@example.cn 450 4.7.1 Try again later\n");
    const std::string root = m_dir.Path().string();
    const std::string start = "bash " POSTWING_SOURCE_DIR "/tests/smtp/postfix_peer.sh start " + root +
                              "/postfix " + std::to_string(m_nPort) + " '' " + root + "/access >/dev/null 2>&1";
    m_bStarted = std::system(start.c_str()) == 0;
    m_host.m_clock = &m_clock;
  }
  void TearDown() override {
    if (m_nPort != 0) {
      const std::string stop = "bash " POSTWING_SOURCE_DIR "/tests/smtp/postfix_peer.sh stop " +
                               m_dir.Path().string() + "/postfix >/dev/null 2>&1";
      std::system(stop.c_str());
      BatchRunTest::TearDown();
    }
  }

  unsigned int m_nPort = 0;
  bool m_bStarted = false;
  CInstantClock m_clock;
};

TEST_F(KeepGoingPostfixTest, OutcomesFollowPostfixsReplies) {
  ASSERT_TRUE(m_bStarted) << "the private Postfix did not start; see its maillog";
  m_dir.WriteFile("mail/m1", "hello\n");
  m_dir.WriteFile("list.txt",
                  "ok@example.cn\r\nrefused@example.cn\r\nlater@example.cn\r\nunknown@example.cn;ok2@example.cn\r\n");
  m_dir.WriteFile("ini/Stmp.Ini",
                  "[smtp]\r\nsmtp=127.0.0.1\r\nMail=sender@example.cn\r\nemstp=0\r\nsecurity=3\r\n"
                  "[maildir]\r\nmaildir=mail\r\naddress=list.txt\r\nmailsubject=s\r\nonerror=1\r\nretry=5\r\n");
  Run(false, m_nPort);

  std::vector<RecordRow> rows;
  ASSERT_TRUE(ReadSendRecord(NewestRecord(m_dir.Path()), rows));
  struct Want {
    const char* address;
    const char* result;
    const char* replyStart;
    const char* replyText;
    int attempts;
  };
  const Want wants[] = {
      {"ok@example.cn", "已送达", "250 2.0.0", "queued", 1},
      {"refused@example.cn", "被拒收", "554 5.7.1", "Not here", 1},
      {"unknown@example.cn", "被拒收", "550 5.1.1", "User unknown", 1},
      {"ok2@example.cn", "已送达", "250 2.0.0", "queued", 1},
      // Deferred on the first pass and on the tries after 1 and 3 minutes.
      {"later@example.cn", "暂时失败", "450 4.7.1", "Try again later", 3},
  };
  ASSERT_EQ(rows.size(), std::size(wants));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(wants[i].address);
    EXPECT_EQ(rows[i].m_strAddress, wants[i].address);
    EXPECT_EQ(rows[i].m_strResult, FromUtf8(wants[i].result));
    EXPECT_EQ(rows[i].m_strReply.compare(0, std::string(wants[i].replyStart).size(), wants[i].replyStart), 0)
        << rows[i].m_strReply;
    EXPECT_NE(rows[i].m_strReply.find(wants[i].replyText), std::string::npos) << rows[i].m_strReply;
    EXPECT_EQ(rows[i].m_nAttempts, wants[i].attempts);
  }
  EXPECT_EQ(m_run.Outcome().m_nDelivered, 2);
  EXPECT_EQ(m_run.Outcome().m_nUndelivered, 3);
  EXPECT_FALSE(m_run.Outcome().m_bFailed);
}

}  // namespace
}  // namespace batchtest
