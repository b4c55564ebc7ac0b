// Base64Encode: the padded length, the standard alphabet, and decoding gives
// back every byte.
#include <string>

#include "fuzz_support.h"
#include "smtp/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string encoded = Base64Encode(text);
  FUZZ_CHECK(encoded.size() == (size + 2) / 3 * 4);
  const std::size_t padding = (3 - size % 3) % 3;
  FUZZ_CHECK(encoded.find('=') == (padding == 0 ? std::string::npos : encoded.size() - padding));
  FUZZ_CHECK(fuzz::Base64Decode(encoded) == text);
  return 0;
}
