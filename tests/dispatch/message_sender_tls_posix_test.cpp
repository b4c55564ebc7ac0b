// The run's sender and its pool of connections against aiosmtpd with
// STARTTLS, login and PIPELINING: many messages over connections carrying up
// to "reuse" each, every message arriving once; a server closing after every
// seventh, or taking fewer connections at once than asked for, costs none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>
#include <string>

#include "dispatch/connection_pool.h"
#include "dispatch/message_send.h"
#include "platform/codepage.h"
#include "support/tls_peer.h"

namespace {

using testsupport::CTlsPeer;

struct CarryRow {
  const char* m_szName;
  const char* m_szCloseAfter;  // "" for a server that never closes first
  int m_nMessages;
  int m_nAtOnce;         // the run's connections at once
  int m_nMaxOpen;        // the server's limit of connections at once (0: none)
  int m_nConnections;    // the fewest connections the settings allow
};

class SenderOverTlsTest : public ::testing::TestWithParam<CarryRow> {
 protected:
  void SetUp() override {
    const std::string unavailable = CTlsPeer::Unavailable();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    ASSERT_FALSE(CTlsPeer::CertDir().empty());
    unsetenv("SSL_CERT_FILE");
    unsetenv("SSL_CERT_DIR");
    m_saved = CSMTP::SetTimeouts({5000, 5000, 5000});
  }
  void TearDown() override {
    unsetenv("PEER_PIPELINING");
    unsetenv("PEER_CLOSE_AFTER");
    unsetenv("PEER_MAX_CONNECTIONS");
    CSMTP::SetTimeouts(m_saved);
  }

 private:
  SmtpTimeouts m_saved;
};

CMailItem Numbered(int i) {
  CMailItem item;
  item.AddRecipient("to" + std::to_string(i) + "@example.cn", "");
  item.m_strSubject = "message " + std::to_string(i);
  item.m_strBody = "text " + std::to_string(i) + "\n";
  return item;
}

// One connection through the run's sender, several through its pool, as the
// runs use them; each message arrives once, no connection carries more than
// the settings or the server allow, and refused connections cost none.
TEST_P(SenderOverTlsTest, EachMessageArrivesOnce) {
  const CarryRow& row = GetParam();
  setenv("PEER_PIPELINING", "1", 1);
  if (*row.m_szCloseAfter != '\0') setenv("PEER_CLOSE_AFTER", row.m_szCloseAfter, 1);
  if (row.m_nMaxOpen > 0) setenv("PEER_MAX_CONNECTIONS", std::to_string(row.m_nMaxOpen).c_str(), 1);
  CTlsPeer peer("starttls", "server", true);
  ASSERT_NE(peer.Port(), 0u);
  MessageTarget target;
  target.m_account.m_strServer = "localhost";
  target.m_account.m_strMail = "me@example.cn";
  target.m_account.m_bAuth = 1;
  target.m_account.m_strName = "peer-user";
  target.m_account.m_strPassword = "peer-secret";
  target.m_account.m_nSecurity = 1;
  target.m_account.m_nReuse = 20;
  target.m_account.m_strCaFile = (CTlsPeer::CertDir() / "ca.pem").string();
  target.m_nPort = peer.Port();
  int opened = 0;
  if (row.m_nAtOnce == 1) {
    CMessageSender sender;
    for (int i = 0; i < row.m_nMessages; ++i) {
      CMailItem item = Numbered(i);
      std::string error;
      ASSERT_TRUE(sender.Send(target, item, error)) << i << ": " << platform::ToUtf8(error);
    }
    sender.Finish();
    opened = sender.ConnectionsOpened();
  } else {
    std::set<std::uint64_t> done;
    auto take = [&](const std::vector<PoolResult>& results) {
      for (const PoolResult& result : results) {
        EXPECT_TRUE(result.m_bSent) << result.m_nTag << ": " << platform::ToUtf8(result.m_strError) << " step " << static_cast<int>(result.m_log.m_failedStep);
        EXPECT_TRUE(done.insert(result.m_nTag).second) << result.m_nTag;
      }
    };
    CConnectionPool pool(target, row.m_nAtOnce, [] { return 0; }, take);
    for (int i = 0; i < row.m_nMessages; ++i) {
      pool.WaitForRoom();
      pool.Submit(static_cast<std::uint64_t>(i), Numbered(i));
    }
    pool.Drain();
    EXPECT_EQ(done.size(), static_cast<std::size_t>(row.m_nMessages));
    EXPECT_EQ(pool.Working(), row.m_nMaxOpen > 0 ? row.m_nMaxOpen : row.m_nAtOnce);
    pool.Finish();
    opened = pool.ConnectionsOpened();
  }
  std::multiset<std::string> rcpts;
  int sessions = 0;
  int resumed = 0;
  const int limit = *row.m_szCloseAfter != '\0' ? std::atoi(row.m_szCloseAfter) : 20;
  const int atOnce = row.m_nMaxOpen > 0 ? row.m_nMaxOpen : row.m_nAtOnce;
  while (rcpts.size() < static_cast<std::size_t>(row.m_nMessages)) {
    const testsupport::TlsSessionReport report = peer.NextSession();
    ASSERT_FALSE(report.empty()) << "session " << sessions << " after " << rcpts.size();
    ++sessions;
    EXPECT_EQ(report.find("AUTH")->second, "peer-user");
    EXPECT_LE(std::atoi(report.find("OPEN")->second.c_str()), atOnce);
    if (report.find("RESUMED")->second == "1") ++resumed;
    EXPECT_LE(static_cast<int>(report.count("RCPT")), limit);
    for (auto [it, end] = report.equal_range("RCPT"); it != end; ++it) rcpts.insert(it->second);
  }
  // One connection at a time: every one after the first resumes TLS. At
  // once, several may meet the server while no session is there to resume.
  if (row.m_nAtOnce == 1) {
    EXPECT_EQ(resumed, sessions - 1);
  } else if (sessions > row.m_nAtOnce) {
    EXPECT_GT(resumed, 0);
  }
  EXPECT_GE(sessions, row.m_nConnections);
  EXPECT_LE(sessions, row.m_nConnections + atOnce - 1);
  // What the client opened beyond the sessions the server refused: the
  // connections beyond its limit (and, now and then, one that met the server
  // still counting a connection just closed, tried again).
  if (row.m_nMaxOpen == 0) {
    EXPECT_EQ(opened, sessions);
  }
  EXPECT_GE(opened - sessions, row.m_nMaxOpen > 0 ? row.m_nAtOnce - row.m_nMaxOpen : 0);
  ASSERT_EQ(rcpts.size(), static_cast<std::size_t>(row.m_nMessages));
  for (int i = 0; i < row.m_nMessages; ++i) {
    EXPECT_EQ(rcpts.count("to" + std::to_string(i) + "@example.cn"), 1u) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SenderOverTlsTest,
    ::testing::Values(CarryRow{"TwentyPerConnection", "", 50, 1, 0, 3},
                      CarryRow{"ServerClosesAfterSeven", "7", 50, 1, 0, 8},
                      CarryRow{"ThreeAtOnce", "", 50, 3, 0, 3},
                      CarryRow{"ThreeAtOnceServerClosesAfterSeven", "7", 50, 3, 0, 8},
                      CarryRow{"ServerTakesTwoAtOnce", "", 50, 3, 2, 3}),
    [](const ::testing::TestParamInfo<CarryRow>& info) { return info.param.m_szName; });

}  // namespace
