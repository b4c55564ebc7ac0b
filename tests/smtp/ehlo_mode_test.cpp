// The plain EHLO mode (3) against the scripted server: EHLO with HELO as the
// fallback, login only as offered, multi-line replies read whole.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/codepage.h"
#include "platform/net.h"
#include "smtp/base64.h"
#include "smtp/smtp_session.h"
#include "support/scripted_smtp_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CScriptedSmtpServer;
using testsupport::CSmtpScript;

std::string Host() {
  std::string host = platform::LocalHostName(80);
  return host.empty() ? std::string("localhost") : host;
}

// The rest of an accepting server after the opening: one message, QUIT.
CSmtpScript& AcceptOneMessage(CSmtpScript& script) {
  return script.Reply("250 sender ok").Reply("250 recipient ok").Reply("354 go ahead")
      .Reply("250 queued").Reply("221 bye");
}

struct EhloRow {
  const char* m_szName;
  CSmtpScript m_script;   // up to and including the login
  bool m_bLogin;
  bool m_bAccepts;        // whether the script goes on to take a message
  const char* m_szError;  // UTF-8, for a refused opening
  std::string m_strOpening;  // what the client sends before MAIL (or QUIT)
};

class EhloModeTest : public ::testing::TestWithParam<EhloRow> {
 protected:
  void SetUp() override { m_saved = CSMTP::SetTimeouts({2000, 2000, 2000}); }
  void TearDown() override { CSMTP::SetTimeouts(m_saved); }

 private:
  SmtpTimeouts m_saved;
};

TEST_P(EhloModeTest, OpensAsTheServerOffers) {
  const EhloRow& row = GetParam();
  CSmtpScript script = row.m_script;
  if (row.m_bAccepts) AcceptOneMessage(script);
  else script.Reply("221 bye");
  CScriptedSmtpServer server(script);
  CMailItem item;
  item.m_strSender = "me@x.cn";
  item.AddRecipient("a@x.cn", "");
  item.m_strBody = "hi";
  {
    CSMTP smtp(server.Host(), server.Port());
    smtp.SetSecurity({SecurityPlainEhlo, ""});
    if (row.m_bLogin) smtp.SetLogin({1, "user", "pw"});
    if (row.m_bAccepts) {
      ASSERT_TRUE(smtp.Connect()) << platform::ToUtf8(smtp.GetErrorText());
      ASSERT_TRUE(smtp.SendMail(item)) << platform::ToUtf8(smtp.GetErrorText());
      ASSERT_TRUE(smtp.Disconnect()) << platform::ToUtf8(smtp.GetErrorText());
    } else {
      EXPECT_FALSE(smtp.Connect());
      EXPECT_EQ(platform::ToUtf8(smtp.GetErrorText()), row.m_szError);
    }
  }
  const std::string received = server.Received();
  EXPECT_EQ(received.substr(0, row.m_strOpening.size()), row.m_strOpening);
  const std::string rest = received.substr(std::min(received.size(), row.m_strOpening.size()));
  if (row.m_bAccepts) {
    EXPECT_EQ(rest.compare(0, 22, "MAIL From: <me@x.cn>\r\n"), 0) << rest;
  } else {
    EXPECT_EQ(rest, "QUIT\r\n");  // no MAIL after a refused opening
  }
}

const std::string kEhlo = "EHLO " + Host() + "\r\n";
const std::string kPlain = "AUTH PLAIN " + Base64Encode(std::string("\0user\0pw", 8)) + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, EhloModeTest,
    ::testing::Values(
        // An ESMTP greeting does not ask for a login in this mode.
        EhloRow{"NoLoginWithEsmtpGreeting",
                CSmtpScript().Line("220 relay ESMTP Postfix").Reply("250-relay\r\n250 8BITMIME"),
                false, true, "", kEhlo},
        EhloRow{"EhloRefusedFallsBackToHelo",
                CSmtpScript().Line("220 old").Reply("502 unknown command").Reply("250 hello"),
                false, true, "", kEhlo + "HELO " + Host() + "\r\n"},
        // The AUTH line comes in a second packet, after a pause.
        EhloRow{"AuthPlainFirst",
                CSmtpScript().Line("220 relay").Await().Send("250-relay\r\n250-AUTH LOGIN PL")
                    .Pause(100ms).Send("AIN\r\n250 SIZE 1000\r\n").Reply("235 ok"),
                true, true, "", kEhlo + kPlain},
        EhloRow{"AuthLoginWhenOnlyLoginOffered",
                CSmtpScript().Line("220 relay").Reply("250-relay\r\n250 AUTH=LOGIN")
                    .Reply("334 VXNlcm5hbWU6").Reply("334 UGFzc3dvcmQ6").Reply("235 ok"),
                true, true, "",
                kEhlo + "AUTH LOGIN\r\n" + Base64Encode("user") + "\r\n" + Base64Encode("pw") + "\r\n"},
        EhloRow{"LoginWithoutAuthOffered",
                CSmtpScript().Line("220 relay ESMTP").Reply("250-relay\r\n250 8BITMIME"), true,
                false, "邮件服务器不支持验证.", kEhlo},
        EhloRow{"RefusedPlainLogin",
                CSmtpScript().Line("220 relay").Reply("250 AUTH PLAIN").Reply("535 no"), true,
                false, "邮件服务器(SMTP)验证失败.", kEhlo + kPlain},
        EhloRow{"RefusedUserName",
                CSmtpScript().Line("220 relay").Reply("250 AUTH LOGIN").Reply("334 VXNlcm5hbWU6")
                    .Reply("535 no"),
                true, false, "邮件服务器(SMTP)验证失败.",
                kEhlo + "AUTH LOGIN\r\n" + Base64Encode("user") + "\r\n"}),
    [](const auto& info) { return std::string(info.param.m_szName); });

}  // namespace
