// The session's own messages, shared by its source files (not part of the
// session's interface).
#pragma once

#include <string>

namespace smtp_detail {

inline constexpr char kSocketError[] = "Socket Error";
inline constexpr char kMustBeConnected[] = "Must be connected";

struct ReplyRow {
  int m_nCode;
  const char* m_szMessage;
};

// The code each step expects and the message its failure reports, by ReplyKind.
inline constexpr ReplyRow kReplyTable[] = {
    {250, "SMTP server error"},
    {220, "SMTP server not available"},
    {354, "SMTP server not ready for data"},
    {221, "SMTP server didn't terminate session"},
};

// In the program's code page.
struct SessionTexts {
  std::string m_strNoSocket;
  std::string m_strNoConnection;
  std::string m_strNoResponse;
  std::string m_strNeedsLogin;
  std::string m_strLoginRefused;
  std::string m_strNoRecipients;
  std::string m_strNoStartTls;
  std::string m_strNoAuth;
  std::string m_strTlsFailed;
  std::string m_strStartTlsRefused;
  std::string m_strRecipient;   // "收件人 <"
  std::string m_strRefused;     // "> 被拒收: "
  std::string m_strTemporary;   // "> 暂时失败: "
};

const SessionTexts& Texts();

}  // namespace smtp_detail
