// The SMTP client's secure and EHLO modes against Debian's aiosmtpd, with a
// private authority and server certificates made for the test run by the
// `openssl` command.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "smtp/smtp_session.h"
#include "support/temp_dir.h"

namespace {

using platform::FromUtf8;
using platform::ToUtf8;
namespace fs = std::filesystem;

const char kPython[] = "/usr/bin/python3";

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// What the server reported of one session: key -> values in order.
using SessionReport = std::multimap<std::string, std::string>;

std::string First(const SessionReport& report, const std::string& key) {
  auto found = report.find(key);
  return found == report.end() ? "<none>" : found->second;
}

std::vector<std::string> All(const SessionReport& report, const std::string& key) {
  std::vector<std::string> values;
  for (auto [it, end] = report.equal_range(key); it != end; ++it) values.push_back(it->second);
  return values;
}

// One run of tests/smtp/aiosmtpd_tls_peer.py; see the script for its output.
class CTlsPeer {
 public:
  CTlsPeer(const std::string& mode, const fs::path& certs, const std::string& certName, bool login) {
    const std::string command = std::string(kPython) + " " POSTWING_SOURCE_DIR
                                "/tests/smtp/aiosmtpd_tls_peer.py " + mode + " " +
                                certs.string() + " " + certName + (login ? " login" : "");
    m_pipe = popen(command.c_str(), "r");
    const std::string first = ReadLine();
    if (std::sscanf(first.c_str(), "PORT %u %d", &m_nPort, &m_nPid) != 2) m_nPort = 0;
  }
  ~CTlsPeer() {
    if (m_nPid > 0) kill(m_nPid, SIGTERM);
    if (m_pipe) pclose(m_pipe);
  }
  unsigned int Port() const { return m_nPort; }

  // The next session the server reports (it reports one when it ends).
  SessionReport NextSession() {
    SessionReport report;
    std::string line;
    while ((line = ReadLine()) != "SESSION" && !line.empty()) {
    }
    while (!(line = ReadLine()).empty() && line != "ENDSESSION") {
      const std::size_t space = line.find(' ');
      report.emplace(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
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
  int m_nPid = 0;
};

class TlsSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_certs = new testsupport::CTempDir();
    const std::string command = "bash " POSTWING_SOURCE_DIR "/tests/smtp/make_test_certs.sh " +
                                s_certs->Path().string() + " >/dev/null 2>&1";
    s_bCertsMade = std::system(command.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    delete s_certs;
    s_certs = nullptr;
  }

  void SetUp() override {
    const std::string probe = std::string(kPython) + " -c 'import aiosmtpd' >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) {
      GTEST_SKIP() << kPython << " has no aiosmtpd (Debian package python3-aiosmtpd)";
    }
    ASSERT_TRUE(s_bCertsMade) << "the openssl command could not make the test certificates";
    // Only the test's authority, whatever the environment names.
    unsetenv("SSL_CERT_FILE");
    unsetenv("SSL_CERT_DIR");
    m_previous = CSMTP::SetTimeouts({5000, 5000, 5000});
  }
  void TearDown() override { CSMTP::SetTimeouts(m_previous); }

  static fs::path Certs() { return s_certs->Path(); }
  static std::string CaFile(const char* name = "ca.pem") { return (Certs() / name).string(); }

  static inline testsupport::CTempDir* s_certs = nullptr;
  static inline bool s_bCertsMade = false;
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
  CTlsPeer peer(row.m_szServerMode, Certs(), "server", row.m_bLogin);
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
  CTlsPeer peer(row.m_szServerMode, Certs(), row.m_szCertName, true);
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

}  // namespace
