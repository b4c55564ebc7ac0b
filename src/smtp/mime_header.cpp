#include "smtp/mime_header.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/local_time.h"
#include "platform/net.h"
#include "smtp/base64.h"

namespace mime {
namespace {

// "=?GBK?B?" and "?=" around the base64 text of an encoded word.
constexpr std::size_t kWordOverhead = sizeof("=?GBK?B?") - 1 + 2;
// RFC 2047: an encoded word is at most 75 characters.
constexpr std::size_t kMaxWord = 75;
// Raw bytes per line of a base64 body: 57 bytes give 76 characters.
constexpr std::size_t kBase64LineBytes = 57;
constexpr long long kSecondsPerDay = 86400;

// The byte length of the character starting at `text[at]`: two for a GBK
// lead byte followed by another byte, else one.
std::size_t CharLength(std::string_view text, std::size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  return byte >= 0x81 && byte <= 0xFE && at + 1 < text.size() ? 2 : 1;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

// The UTC broken-down time of `time`, without the C library.
std::tm UtcTime(std::time_t time) {
  long long days = static_cast<long long>(time) / kSecondsPerDay;
  long long seconds = static_cast<long long>(time) % kSecondsPerDay;
  if (seconds < 0) {
    seconds += kSecondsPerDay;
    --days;
  }
  std::tm utc{};
  utc.tm_hour = static_cast<int>(seconds / 3600);
  utc.tm_min = static_cast<int>(seconds / 60 % 60);
  utc.tm_sec = static_cast<int>(seconds % 60);
  utc.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  const long long z = days + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  utc.tm_mday = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  utc.tm_mon = static_cast<int>(month - 1);
  utc.tm_year = static_cast<int>(static_cast<long long>(yearOfEra) + era * 400 + (month <= 2) - 1900);
  return utc;
}

bool IsDomainChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-';
}

std::string DomainPart(std::string_view text) {
  std::string domain;
  for (char c : text) {
    if (!IsDomainChar(c)) break;
    domain += c;
  }
  while (!domain.empty() && (domain.front() == '.' || domain.front() == '-')) domain.erase(0, 1);
  while (!domain.empty() && domain.back() == '.') domain.pop_back();
  return domain;
}

}  // namespace

CFoldedLine::CFoldedLine(std::string_view start)
    : m_strText(start), m_nStart(start.size()), m_nLine(start.size()) {}

void CFoldedLine::Append(std::string_view separator, std::string_view token) {
  if (m_strText.size() > m_nStart && m_nLine + separator.size() + token.size() > kFoldWidth) {
    m_strText += "\r\n ";
    m_nLine = 1;
  } else {
    m_strText.append(separator);
    m_nLine += separator.size();
  }
  m_strText.append(token);
  m_nLine += token.size();
}

void CFoldedLine::AppendEncoded(std::string_view separator, std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    // The room for a word on this line after the separator; a fold when even
    // one character does not fit, unless the line is still at its start.
    std::size_t used = m_nLine + separator.size();
    std::size_t room = used < kFoldWidth ? kFoldWidth - used : 0;
    std::size_t rawLimit = room > kWordOverhead ? (room - kWordOverhead) / 4 * 3 : 0;
    if (rawLimit < CharLength(text, at) && m_strText.size() > m_nStart) {
      rawLimit = (kMaxWord - kWordOverhead) / 4 * 3;  // a fresh line: the longest word
    }
    rawLimit = std::min(rawLimit, (kMaxWord - kWordOverhead) / 4 * 3);
    std::size_t end = at;
    while (end < text.size() && end + CharLength(text, end) - at <= rawLimit) {
      end += CharLength(text, end);
    }
    if (end == at) end += CharLength(text, at);  // never stall, whatever the width
    std::string word = "=?";
    word += kCharset;
    word += "?B?";
    word += Base64Encode(std::string(text.substr(at, end - at)));
    word += "?=";
    Append(separator, word);
    separator = " ";
    at = end;
  }
}

bool HasNonAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

std::string FormatDate(std::time_t time) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  long long offset = 0;  // seconds east of UTC
  if (platform::LocalTime(time, local)) {
    const long long asUtc =
        DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) *
            kSecondsPerDay +
        local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    offset = asUtc - static_cast<long long>(time);
  } else {
    local = UtcTime(time);
  }
  const long long minutes = (offset < 0 ? -offset : offset) / 60;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02lld%02lld",
                kDays[local.tm_wday % 7], local.tm_mday, kMonths[local.tm_mon % 12],
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return text;
}

std::string MakeMessageId(std::string_view sender, std::time_t time) {
  thread_local std::mt19937_64 random = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  std::string domain;
  const std::size_t at = sender.rfind('@');
  if (at != std::string_view::npos) domain = DomainPart(sender.substr(at + 1));
  if (domain.empty()) domain = DomainPart(platform::LocalHostName(80));
  if (domain.empty()) domain = "localhost";
  char id[64];
  std::snprintf(id, sizeof id, "<%016llx.%llx@", static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(time));
  return id + domain + ">";
}

bool HasOverlongLine(std::string_view body) {
  // Bodies can be large: step from LF to LF with memchr and look closer only
  // at a stretch long enough to matter, which may still hold lone CRs.
  const char* const begin = body.data();
  const char* const end = begin + body.size();
  for (const char* start = begin; start < end;) {
    const void* found = std::memchr(start, '\n', static_cast<std::size_t>(end - start));
    const char* lf = found ? static_cast<const char*>(found) : end;
    if (static_cast<std::size_t>(lf - start) > kMaxBodyLine) {
      std::size_t run = 0;
      for (const char* at = start; at < lf; ++at) {
        run = *at == '\r' ? 0 : run + 1;
        if (run > kMaxBodyLine) return true;
      }
    }
    start = lf + 1;
  }
  return false;
}

std::string Base64Lines(std::string_view bytes) {
  std::string lines;
  lines.reserve((bytes.size() / kBase64LineBytes + 1) * 78);
  for (std::size_t at = 0; at < bytes.size(); at += kBase64LineBytes) {
    lines += Base64Encode(std::string(bytes.substr(at, kBase64LineBytes)));
    lines += "\r\n";
  }
  return lines;
}

}  // namespace mime
