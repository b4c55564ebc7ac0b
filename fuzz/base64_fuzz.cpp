// Base64Encode: the padded length, the standard alphabet, and decoding gives
// back every byte.
#include <string>

#include "fuzz_support.h"
#include "smtp/base64.h"

namespace {

const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Decode(const std::string& encoded) {
  std::string bytes;
  unsigned int bits = 0;
  int count = 0;
  for (const char c : encoded) {
    if (c == '=') break;
    const std::size_t value = kAlphabet.find(c);
    FUZZ_CHECK(value != std::string::npos);
    bits = (bits << 6) | static_cast<unsigned int>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string encoded = Base64Encode(text);
  FUZZ_CHECK(encoded.size() == (size + 2) / 3 * 4);
  const std::size_t padding = (3 - size % 3) % 3;
  FUZZ_CHECK(encoded.find('=') == (padding == 0 ? std::string::npos : encoded.size() - padding));
  FUZZ_CHECK(Decode(encoded) == text);
  return 0;
}
