#include "dispatch/message_size.h"

#include <cstring>

#include "smtp/smtp_session.h"

namespace {

// The line the session writes after every header.
constexpr std::size_t kMailerLineBytes = std::char_traits<char>::length("X-Mailer: CSMTP class for MFC\r\n");
constexpr std::size_t kBlankLineBytes = 2;
// The terminator "\r\n.\r\n" follows a body that ends in CR LF already: its
// first CR LF is one more (empty) line of the message.
constexpr std::size_t kTerminatorLineEndBytes = 2;

// A session that is never connected: only its preparation of a message, the
// very steps a real session takes before it sends.
class CPreparingSession : public CSMTP {
 public:
  CPreparingSession() : CSMTP(std::string(), 0) {}
  bool Prepare(CMailItem& item) { return PrepareMessage(item); }
};

}  // namespace

std::uint64_t MessageSizeAsSent(const CMailItem& item) {
  CMailItem copy = item;  // the wire pieces are shared, not copied
  CPreparingSession session;
  if (!session.Prepare(copy)) return 0;
  std::uint64_t size =
      copy.m_strHeader.size() + kMailerLineBytes + kBlankLineBytes + kTerminatorLineEndBytes;
  if (copy.m_wireBody.empty()) return size + copy.m_strBody.size();
  for (const auto& piece : copy.m_wireBody) size += piece->size();
  return size;
}
