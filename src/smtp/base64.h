// Base64 of a byte string, for the AUTH LOGIN exchange.
#pragma once

#include <string>

// RFC 4648 Base64 with the standard alphabet and "=" padding, as one unbroken
// line. Bytes are taken as unsigned values, so GBK text encodes correctly.
std::string Base64Encode(std::string text);
