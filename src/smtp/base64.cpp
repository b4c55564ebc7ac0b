#include "smtp/base64.h"

namespace {

char Base64Char(unsigned int value) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  return kAlphabet[value & 0x3F];
}

}  // namespace

std::string Base64Encode(std::string text) {
  std::string encoded;
  encoded.reserve((text.size() + 2) / 3 * 4);
  unsigned int carry = 0;
  std::size_t position = 0;
  for (char c : text) {
    const unsigned int byte = static_cast<unsigned char>(c);
    switch (position++ % 3) {
      case 0:
        encoded += Base64Char(byte >> 2);
        carry = (byte & 0x03) << 4;
        break;
      case 1:
        encoded += Base64Char(carry | (byte >> 4));
        carry = (byte & 0x0F) << 2;
        break;
      default:
        encoded += Base64Char(carry | (byte >> 6));
        encoded += Base64Char(byte);
        break;
    }
  }
  switch (text.size() % 3) {
    case 1:
      encoded += Base64Char(carry);
      encoded += "==";
      break;
    case 2:
      encoded += Base64Char(carry);
      encoded += '=';
      break;
    default:
      break;
  }
  return encoded;
}
