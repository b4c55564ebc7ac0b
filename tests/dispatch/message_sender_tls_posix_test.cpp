// The run's sender against aiosmtpd with STARTTLS, login and PIPELINING:
// many messages over connections carrying up to "reuse" each, every message
// arriving once, and a server closing after every seventh costing none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "dispatch/message_send.h"
#include "platform/codepage.h"
#include "support/tls_peer.h"

namespace {

using testsupport::CTlsPeer;

struct CarryRow {
  const char* m_szName;
  const char* m_szCloseAfter;  // "" for a server that never closes first
  int m_nMessages;
  int m_nConnections;
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
    CSMTP::SetTimeouts(m_saved);
  }

 private:
  SmtpTimeouts m_saved;
};

TEST_P(SenderOverTlsTest, EachMessageArrivesOnce) {
  const CarryRow& row = GetParam();
  setenv("PEER_PIPELINING", "1", 1);
  if (*row.m_szCloseAfter != '\0') setenv("PEER_CLOSE_AFTER", row.m_szCloseAfter, 1);
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
  {
    CMessageSender sender;
    for (int i = 0; i < row.m_nMessages; ++i) {
      CMailItem item;
      item.AddRecipient("to" + std::to_string(i) + "@example.cn", "");
      item.m_strSubject = "message " + std::to_string(i);
      item.m_strBody = "text " + std::to_string(i) + "\n";
      std::string error;
      ASSERT_TRUE(sender.Send(target, item, error)) << i << ": " << platform::ToUtf8(error);
    }
    sender.Finish();
    opened = sender.ConnectionsOpened();
  }
  EXPECT_EQ(opened, row.m_nConnections);
  std::multiset<std::string> rcpts;
  int resumed = 0;
  for (int i = 0; i < opened; ++i) {
    const testsupport::TlsSessionReport report = peer.NextSession();
    ASSERT_FALSE(report.empty()) << "session " << i;
    EXPECT_EQ(report.find("AUTH")->second, "peer-user");
    if (report.find("RESUMED")->second == "1") ++resumed;
    for (auto [it, end] = report.equal_range("RCPT"); it != end; ++it) rcpts.insert(it->second);
  }
  EXPECT_EQ(resumed, opened - 1);  // every new connection after the first resumes TLS
  ASSERT_EQ(rcpts.size(), static_cast<std::size_t>(row.m_nMessages));
  for (int i = 0; i < row.m_nMessages; ++i) {
    EXPECT_EQ(rcpts.count("to" + std::to_string(i) + "@example.cn"), 1u) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SenderOverTlsTest,
    ::testing::Values(CarryRow{"TwentyPerConnection", "", 50, 3},
                      CarryRow{"ServerClosesAfterSeven", "7", 50, 8}),
    [](const ::testing::TestParamInfo<CarryRow>& info) { return info.param.m_szName; });

}  // namespace
