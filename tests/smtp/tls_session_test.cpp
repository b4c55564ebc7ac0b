// The SMTP client's secure and EHLO modes against Debian's aiosmtpd, with a
// private authority and server certificates made for the test run by the
// `openssl` command (see support/tls_peer.h; under Wine too).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "smtp/smtp_session.h"
#include "support/tls_peer.h"

namespace {

using platform::FromUtf8;
using platform::ToUtf8;
using testsupport::CTlsPeer;
using SessionReport = testsupport::TlsSessionReport;

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string First(const SessionReport& report, const std::string& key) {
  auto found = report.find(key);
  return found == report.end() ? "<none>" : found->second;
}

std::vector<std::string> All(const SessionReport& report, const std::string& key) {
  std::vector<std::string> values;
  for (auto [it, end] = report.equal_range(key); it != end; ++it) values.push_back(it->second);
  return values;
}

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());  // "" removes it
#else
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
#endif
}

class TlsSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string unavailable = CTlsPeer::Unavailable();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    ASSERT_FALSE(CTlsPeer::CertDir().empty())
        << "the openssl command could not make the test certificates";
    // Only the test's authority, whatever the environment names.
    SetEnvironment("SSL_CERT_FILE", "");
    SetEnvironment("SSL_CERT_DIR", "");
    m_previous = CSMTP::SetTimeouts({5000, 5000, 5000});
  }
  void TearDown() override { CSMTP::SetTimeouts(m_previous); }

  static std::string CaFile(const char* name = "ca.pem") { return (CTlsPeer::CertDir() / name).string(); }

  SmtpTimeouts m_previous;
};

struct DeliveryRow {
  const char* m_szName;
  const char* m_szServerMode;  // of the peer script
  int m_nSecurity;
  const char* m_szHost;        // the server name as the user types it
  bool m_bLogin;
};

class TlsDeliveryTest : public TlsSessionTest, public ::testing::WithParamInterface<DeliveryRow> {};

// Two messages, one session each: both arrive, AUTH only over TLS, the
// message reads back as written, and the second handshake resumes the first.
TEST_P(TlsDeliveryTest, DeliversReadableMailAndResumes) {
  const DeliveryRow& row = GetParam();
  CTlsPeer peer(row.m_szServerMode, "server", row.m_bLogin);
  ASSERT_NE(peer.Port(), 0u);
  const std::string subject = FromUtf8("季度报告: 飞鸿信使的安全连接测试, 主题足够长以便折行显示在多行之中");
  const std::string body = FromUtf8("您好，\n这是正文。\n.以点开头的行\n");
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    CMailItem item;
    item.m_strSender = "me@example.cn";
    item.m_strSubject = subject;
    item.AddRecipientList(FromUtf8("张三<zhang@example.cn>;li@example.cn;Wang Wu<wang@example.cn>"));
    item.m_strBody = body;
    CSMTP smtp(row.m_szHost, peer.Port());
    smtp.SetSecurity({row.m_nSecurity, CaFile()});
    if (row.m_bLogin) smtp.SetLogin({1, "peer-user", "peer-secret"});
    ASSERT_TRUE(smtp.Connect()) << ToUtf8(smtp.GetErrorText());
    ASSERT_TRUE(smtp.SendMail(item)) << ToUtf8(smtp.GetErrorText());
    ASSERT_TRUE(smtp.Disconnect()) << ToUtf8(smtp.GetErrorText());
    EXPECT_EQ(smtp.TlsResumed(), row.m_nSecurity != SecurityPlainEhlo && i == 1);

    const SessionReport report = peer.NextSession();
    EXPECT_EQ(First(report, "TLS"), row.m_nSecurity == SecurityPlainEhlo ? "0" : "1");
    EXPECT_EQ(First(report, "RESUMED"), smtp.TlsResumed() ? "1" : "0");
    EXPECT_EQ(First(report, "AUTH"), row.m_bLogin ? "peer-user" : "-");
    EXPECT_EQ(First(report, "AUTHTLS"),
              !row.m_bLogin ? "-" : row.m_nSecurity == SecurityPlainEhlo ? "0" : "1");
    EXPECT_EQ(First(report, "MAIL"), "me@example.cn");
    EXPECT_EQ(All(report, "RCPT"),
              (std::vector<std::string>{"zhang@example.cn", "li@example.cn", "wang@example.cn"}));
    EXPECT_EQ(FromHex(First(report, "SUBJECT")), ToUtf8(subject));
    EXPECT_EQ(All(report, "TOADDR"), All(report, "RCPT"));
    const std::vector<std::string> names = All(report, "TONAME");
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(FromHex(names[0]), "张三");
    EXPECT_EQ(FromHex(names[1]), "");
    EXPECT_EQ(FromHex(names[2]), "Wang Wu");
    std::string received = FromHex(First(report, "BODY"));
    std::erase(received, '\r');
    EXPECT_EQ(received, ToUtf8(body) + "\n");  // and the empty line the client adds
    EXPECT_EQ(First(report, "DATE"), std::to_string(static_cast<long long>(item.m_tDate)));
    EXPECT_EQ(First(report, "CTE"), "8bit");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TlsDeliveryTest,
    ::testing::Values(DeliveryRow{"StartTlsByName", "starttls", SecurityStartTls, "localhost", false},
                      DeliveryRow{"StartTlsLogin", "starttls", SecurityStartTls, "127.0.0.1", true},
                      DeliveryRow{"ImplicitByIp", "implicit", SecurityTls, "127.0.0.1", false},
                      DeliveryRow{"ImplicitLogin", "implicit", SecurityTls, "localhost", true},
                      DeliveryRow{"PlainEhloLogin", "none", SecurityPlainEhlo, "127.0.0.1", true}),
    [](const auto& info) { return std::string(info.param.m_szName); });

struct FailureRow {
  const char* m_szName;
  const char* m_szServerMode;
  const char* m_szCertName;
  int m_nSecurity;
  const char* m_szCaFile;
  const char* m_szError;  // UTF-8; the error text begins with it
};

class TlsFailureTest : public TlsSessionTest, public ::testing::WithParamInterface<FailureRow> {};

// Each fails with its own text, soon, and the session goes no further.
TEST_P(TlsFailureTest, FailsWithItsTextAndNoHang) {
  const FailureRow& row = GetParam();
  CSMTP::SetTimeouts({3000, 3000, 3000});
  CTlsPeer peer(row.m_szServerMode, row.m_szCertName, true);
  ASSERT_NE(peer.Port(), 0u);
  const auto start = std::chrono::steady_clock::now();
  {
    CSMTP smtp("127.0.0.1", peer.Port());
    smtp.SetSecurity({row.m_nSecurity, CaFile(row.m_szCaFile)});
    smtp.SetLogin({1, "peer-user", "peer-secret"});
    EXPECT_FALSE(smtp.Connect());
    const std::string error = ToUtf8(smtp.GetErrorText());
    EXPECT_EQ(error.rfind(row.m_szError, 0), 0u) << error;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
  if (row.m_nSecurity == SecurityStartTls && std::string(row.m_szServerMode) == "none") {
    // The server without STARTTLS saw EHLO and QUIT: no login, no mail.
    const SessionReport report = peer.NextSession();
    EXPECT_EQ(First(report, "AUTHTLS"), "-");
    EXPECT_EQ(First(report, "MAIL"), "<none>");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TlsFailureTest,
    ::testing::Values(
        FailureRow{"WrongName", "implicit", "othername", SecurityTls, "ca.pem",
                   "安全连接失败: 证书与服务器名称不符"},
        FailureRow{"WrongNameStartTls", "starttls", "othername", SecurityStartTls, "ca.pem",
                   "安全连接失败: 证书与服务器名称不符"},
        FailureRow{"UnknownAuthority", "implicit", "server", SecurityTls, "otherca.pem",
                   "安全连接失败: 证书不受信任"},
        FailureRow{"MissingCaFile", "implicit", "server", SecurityTls, "missing.pem",
                   "安全连接失败: 无法读取证书文件"},
        FailureRow{"NoStartTls", "none", "server", SecurityStartTls, "ca.pem",
                   "邮件服务器不支持安全连接(STARTTLS)."},
        FailureRow{"PlainTextOnTlsPort", "none", "server", SecurityTls, "ca.pem",
                   "安全连接失败: 服务器没有以TLS应答"},
        FailureRow{"TlsServerInModeZero", "implicit", "server", SecurityNone, "ca.pem",
                   "邮件服务器无响应."}),
    [](const auto& info) { return std::string(info.param.m_szName); });

#ifdef _WIN32
// The program's own OpenSSL trusts the system's store and the chosen file
// only: a certificate file named in the environment (as Wine passes Linux's
// SSL_CERT_FILE through) must not make an unknown server trusted.
TEST_F(TlsSessionTest, EnvironmentCertificateFileIsNotTrustedOnWindows) {
  CTlsPeer peer("implicit", "server", true);
  ASSERT_NE(peer.Port(), 0u);
  SetEnvironment("SSL_CERT_FILE", CaFile());
  SetEnvironment("SSL_CERT_DIR", CTlsPeer::CertDir().string());
  CSMTP smtp("localhost", peer.Port());
  smtp.SetSecurity({SecurityTls, ""});
  EXPECT_FALSE(smtp.Connect());
  const std::string error = ToUtf8(smtp.GetErrorText());
  EXPECT_EQ(error.rfind("安全连接失败: 证书不受信任", 0), 0u) << error;
  SetEnvironment("SSL_CERT_FILE", "");
  SetEnvironment("SSL_CERT_DIR", "");
}
#endif

}  // namespace
