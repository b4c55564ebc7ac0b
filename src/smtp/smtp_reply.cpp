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

std::string ReplyLine(const char* reply) {
  std::string line;
  for (const char* at = reply; *at != '\0' && *at != '\r' && *at != '\n'; ++at) {
    if (line.size() >= kReplyLineLimit) break;
    const unsigned char c = static_cast<unsigned char>(*at);
    line += c < 0x20 || c == 0x7F ? ' ' : *at;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::string EnhancedStatus(const std::string& line) {
  // The code and its separator, then class.subject.detail with 1-3 digits each.
  constexpr std::size_t kAfterCode = 4;
  if (line.size() <= kAfterCode) return std::string();
  std::size_t at = kAfterCode;
  const std::size_t start = at;
  for (int part = 0; part < 3; ++part) {
    const std::size_t digits = at;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])) &&
           at - digits < 3) {
      ++at;
    }
    if (at == digits) return std::string();
    if (part < 2) {
      if (at >= line.size() || line[at] != '.') return std::string();
      ++at;
    }
  }
  if (at < line.size() && line[at] != ' ' && line[at] != '\t') return std::string();
  if (line[start] < '2' || line[start] > '5' || line[start + 1] != '.') return std::string();
  return line.substr(start, at - start);
}

bool SaysSlowDown(int code, const std::string& line) {
  if (code / 100 != 4) return false;
  const int kLimitCodes[] = {421, 450, 451, 452, 454};
  bool limitCode = false;
  for (int limit : kLimitCodes) limitCode = limitCode || code == limit;
  if (limitCode && EnhancedStatus(line).compare(0, 4, "4.7.") == 0) return true;
  std::string lower;
  for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Words that start after a non-letter: "rate" and "ratelimit", not "generate".
  const char* kWords[] = {"rate", "frequen", "too many connections", "too many messages",
                          "too many mails", "too many concurrent", "slow down"};
  for (const char* word : kWords) {
    for (std::size_t at = lower.find(word); at != std::string::npos;
         at = lower.find(word, at + 1)) {
      if (at == 0 || !std::isalpha(static_cast<unsigned char>(lower[at - 1]))) return true;
    }
  }
  return false;
}
