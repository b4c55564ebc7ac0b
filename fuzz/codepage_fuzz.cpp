// The code-page conversions: every text of the code page comes back unchanged
// through UTF-8 (and through a native path), and every UTF-8 text the code
// page holds comes back unchanged through it.
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/codepage.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Valid UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned int cp = 0;
    if (b < 0x80) { ++i; continue; }
    if (b >= 0xC2 && b <= 0xDF) { n = 1; cp = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) { n = 2; cp = b & 0x0F; }
    else if (b >= 0xF0 && b <= 0xF4) { n = 3; cp = b & 0x07; }
    else return false;
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string utf8 = platform::ToUtf8(bytes);
  FUZZ_CHECK(IsUtf8(utf8));
  if (utf8.find(kReplacement) == std::string::npos) {  // the bytes are a text of the code page
    FUZZ_CHECK(platform::FromUtf8(utf8) == bytes);
    if (bytes.find('\0') == std::string::npos) {
      FUZZ_CHECK(platform::PathToCodePage(platform::NativePath(bytes)) == bytes);
    }
  }
  // What the code page holds of any UTF-8 text survives a second round; a
  // text it holds whole (no '?' made) comes back as it was.
  const std::string held = platform::FromUtf8(bytes);
  FUZZ_CHECK(platform::FromUtf8(platform::ToUtf8(held)) == held);
  if (IsUtf8(bytes) && held.find('?') == std::string::npos) FUZZ_CHECK(platform::ToUtf8(held) == bytes);
  return 0;
}
