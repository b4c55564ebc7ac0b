// The header encoder (mime::CFoldedLine): whatever the bytes, the encoded
// words decode back to the text, no physical line passes the fold width, no
// word passes the 75 characters encoded words may have, and no CR or LF
// reaches the header except in a fold (CR LF and a blank).
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "smtp/mime_header.h"

namespace {

constexpr std::size_t kMaxWordLength = 75;
constexpr std::size_t kMaxPrefix = 60;
constexpr std::string_view kWordStart = "=?GBK?B?";
constexpr std::string_view kWordEnd = "?=";

// A token of printable ASCII, as the callers hand to Append; without "=" and
// "?", so that it cannot be taken for an encoded word when checking.
std::string PrintableAscii(const std::string& bytes) {
  std::string token;
  for (const char c : bytes) {
    if (c > ' ' && c < 0x7F && c != '=' && c != '?' && token.size() < kMaxPrefix) token += c;
  }
  return token;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const std::uint8_t choice = input.Byte();
  const std::string start = (choice & 1) ? "To:" : "Subject:";
  const std::string separator = (choice & 2) ? "" : " ";
  const std::string prefix = PrintableAscii(input.Text());
  const std::string text = input.Rest();

  mime::CFoldedLine line(start);
  if (!prefix.empty()) line.Append(" ", prefix);
  line.AppendEncoded(separator, text);
  const std::string& header = line.Text();
  FUZZ_CHECK(header.compare(0, start.size(), start) == 0);

  std::vector<std::string> lines;
  for (std::size_t at = 0;;) {
    const std::size_t fold = header.find("\r\n", at);
    lines.push_back(header.substr(at, fold == std::string::npos ? std::string::npos : fold - at));
    if (fold == std::string::npos) break;
    at = fold + 2;
  }
  std::string decoded;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& physical = lines[i];
    FUZZ_CHECK(physical.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(i == 0 || (!physical.empty() && physical[0] == ' '));
    FUZZ_CHECK(physical.size() <= mime::kFoldWidth);
    for (std::size_t at = physical.find(kWordStart); at != std::string::npos;
         at = physical.find(kWordStart, at)) {
      const std::size_t end = physical.find(kWordEnd, at + kWordStart.size());
      FUZZ_CHECK(end != std::string::npos);
      FUZZ_CHECK(end + kWordEnd.size() - at <= kMaxWordLength);
      decoded += fuzz::Base64Decode(physical.substr(at + kWordStart.size(), end - at - kWordStart.size()));
      at = end + kWordEnd.size();
    }
  }
  FUZZ_CHECK(decoded == text);
  return 0;
}
