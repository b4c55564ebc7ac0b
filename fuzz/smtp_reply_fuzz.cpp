// The reply code and the greeting rule over whatever one receive may leave in
// the session's reply buffer: 1024 bytes at most, NUL bytes included, the
// rest of the buffer zero.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "smtp/smtp_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kReplySize = 1024;
  char reply[kReplySize + 1] = {};
  std::memcpy(reply, data, size < kReplySize ? size : kReplySize);

  // What strtol() reads from the first three characters is what "%d" reads
  // from them: white space, a sign, digits.
  char head[4] = {};
  for (int i = 0; i < 3 && reply[i] != '\0'; ++i) head[i] = reply[i];
  FUZZ_CHECK(ReplyCode(reply) == static_cast<int>(std::strtol(head, nullptr, 10)));

  const std::string_view text(reply);  // up to the first NUL, as the session reads it
  FUZZ_CHECK(GreetingNamesEsmtp(reply) == (text.find("ESMTP") != std::string_view::npos));

  // The line a record keeps: one line, bounded, a prefix of the reply's
  // first line but for control bytes.
  const std::string line = ReplyLine(reply);
  FUZZ_CHECK(line.size() <= kReplyLineLimit);
  FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(line.size() <= text.size());
  const std::string status = EnhancedStatus(line);
  FUZZ_CHECK(status.empty() || line.compare(4, status.size(), status) == 0);
  FUZZ_CHECK(status.empty() || (status[0] >= '2' && status[0] <= '5' && status[1] == '.'));
  // Only a temporary reply asks to slow down.
  FUZZ_CHECK(!SaysSlowDown(ReplyCode(reply), line) || ReplyCode(reply) / 100 == 4);
  return 0;
}
