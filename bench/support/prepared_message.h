// The DATA content CSMTP puts on the wire for one message, built once so that
// the baseline client sends exactly the same bytes.
#pragma once

#include <string>

#include "smtp/mail_item.h"

namespace benchsupport {

// The benchmarks' message text: 2 KB in 32 lines of 64 bytes with LF ends,
// as bodies read from text files have them.
inline std::string BenchmarkBody() {
  std::string body;
  for (int line = 0; line < 32; ++line) {
    std::string text = "Line " + std::to_string(line) + " of the benchmark body, ";
    text.append(63 - text.size(), 'x');
    body += text + "\n";
  }
  return body;
}

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
