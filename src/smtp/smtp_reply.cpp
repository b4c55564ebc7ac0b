#include "smtp/smtp_reply.h"

#include <cctype>
#include <cstring>

int ReplyCode(const char* reply) {
  // Only the first three characters count; every step stops at the NUL too,
  // so a shorter text is never read past its end.
  constexpr int kCodeWidth = 3;
  int at = 0;
  while (at < kCodeWidth && reply[at] != '\0' &&
         std::isspace(static_cast<unsigned char>(reply[at]))) {
    ++at;
  }
  bool negative = false;
  if (at < kCodeWidth && (reply[at] == '+' || reply[at] == '-')) negative = reply[at++] == '-';
  int code = 0;
  for (; at < kCodeWidth && reply[at] >= '0' && reply[at] <= '9'; ++at) {
    code = code * 10 + (reply[at] - '0');
  }
  return negative ? -code : code;
}

bool GreetingNamesEsmtp(const char* greeting) { return std::strstr(greeting, "ESMTP") != nullptr; }
