// The DATA content CSMTP puts on the wire for one message, built once so that
// the baseline client sends exactly the same bytes.
#pragma once

#include <string>

#include "smtp/mail_item.h"

namespace benchsupport {

// Header, mailer line, blank line and the body with CR LF line ends, without
// the final "\r\n.\r\n".
inline std::string PreparedMessage(const std::string& sender, const std::string& recipient,
                                   const std::string& subject, const std::string& body) {
  CMailItem item;
  item.m_strSender = sender;
  item.AddRecipientList(recipient);
  item.m_strSubject = subject;
  item.BuildHeader();
  std::string text = body;
  NormalizeLineEnds(text);
  return item.m_strHeader + "X-Mailer: CSMTP class for MFC\r\n\r\n" + text;
}

}  // namespace benchsupport
