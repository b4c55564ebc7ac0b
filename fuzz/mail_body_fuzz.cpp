// The body as the session puts it on the wire (PrepareMessage: NUL bytes
// dropped, line ends normalised, dot lines escaped, a final CR LF): only CR LF
// line ends, no line that would end the message early, and removing one
// leading dot from each line (or decoding a base64 body) gives back the
// normalised body.
#include <string>

#include "fuzz_support.h"
#include "smtp/mail_item.h"
#include "smtp/smtp_session.h"

namespace {

class CPreparingSession : public CSMTP {
 public:
  CPreparingSession() : CSMTP("127.0.0.1", 25) {}
  using CSMTP::PrepareMessage;
};

// The text without its NUL bytes, with CR LF, lone CR and lone LF all made
// CR LF, ending in CR LF.
std::string Normalised(std::string text) {
  std::erase(text, '\0');
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string original(reinterpret_cast<const char*>(data), size);
  CPreparingSession session;
  CMailItem item;
  item.AddRecipient("to@example.com", "");
  item.m_strBody = original;
  FUZZ_CHECK(session.PrepareMessage(item));
  const std::string& wire = item.m_strBody;

  FUZZ_CHECK(wire.size() >= 2 && wire.compare(wire.size() - 2, 2, "\r\n") == 0);
  std::string unescaped;
  for (std::size_t start = 0; start < wire.size();) {
    const std::size_t cr = wire.find('\r', start);
    const std::size_t lf = wire.find('\n', start);
    FUZZ_CHECK(cr != std::string::npos && lf == cr + 1);  // no bare CR or LF
    const std::string line = wire.substr(start, cr - start);
    FUZZ_CHECK(line != ".");  // would end the message here
    if (item.m_bBase64Body) {
      unescaped += fuzz::Base64Decode(line);
    } else {
      unescaped += line[0] == '.' ? line.substr(1) : line;
      unescaped += "\r\n";
    }
    start = lf + 1;
  }
  const std::string expected = Normalised(original);
  if (item.m_bBase64Body) {
    // The encoded text is the body without the final line end the dot needs.
    FUZZ_CHECK(unescaped == expected || unescaped + "\r\n" == expected);
  } else {
    FUZZ_CHECK(unescaped == expected);
  }
  return 0;
}
