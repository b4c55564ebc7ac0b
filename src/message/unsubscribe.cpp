#include "message/unsubscribe.h"

#include <string_view>

#include "platform/codepage.h"
#include "smtp/mail_item.h"
#include "smtp/mime_header.h"

namespace message {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
// The longest stretch of an address put on a header line at once; an
// address longer than a line is folded inside its angle brackets, where
// RFC 2369 has readers ignore the blanks.
constexpr std::size_t kAddressChunk = 60;

struct Texts {
  std::string advertMark = platform::FromUtf8("(广告)");
  std::string advertWord = platform::FromUtf8("广告");
  // Brackets that may stand before the word: "【广告】", "（广告）".
  std::string wideBrackets[2] = {platform::FromUtf8("【"), platform::FromUtf8("（")};
  std::string refuseByReply = platform::FromUtf8("如不希望再收到此类邮件，请回复“退订”。");
  std::string refuseOrVisit = platform::FromUtf8("如不希望再收到此类邮件，请回复“退订”或访问 ");
  std::string refuseVisitEnd = platform::FromUtf8(" 退订。");
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

void AppendEscaped(std::string& out, unsigned char byte) {
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '@';
}

// Bytes that cannot stand in an address as they are.
bool NeedsEscape(unsigned char c) {
  return c <= ' ' || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
         c == '`' || c == '{' || c == '|' || c == '}';
}

std::string EscapeCell(const std::string& cell) {
  std::string out;
  for (char c : platform::ToUtf8(cell)) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      out += c;
    } else {
      AppendEscaped(out, byte);
    }
  }
  return out;
}

std::string EscapeAddress(std::string_view utf8) {
  std::string out;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      AppendEscaped(out, byte);
    } else {
      out += c;
    }
  }
  return out;
}

// Appends "<address>" plus `after`, cut into stretches so no line passes the width.
void AppendAddress(mime::CFoldedLine& line, std::string_view separator, const std::string& token) {
  for (std::size_t at = 0; at < token.size(); at += kAddressChunk) {
    line.Append(at == 0 ? separator : std::string_view(), std::string_view(token).substr(at, kAddressChunk));
  }
}

bool StartsWithAdvertWord(std::string_view subject) {
  if (subject.starts_with(T().advertWord)) return true;
  return subject.size() >= 2 && (subject[0] == 'A' || subject[0] == 'a') &&
         (subject[1] == 'D' || subject[1] == 'd');
}

}  // namespace

std::string MergeUnsubscribeUrl(const std::string& url, const CFieldRow* row) {
  if (url.empty()) return url;
  const std::string merged = row ? CMergeText(url, false).Merge(row, EscapeCell) : url;
  return EscapeAddress(platform::ToUtf8(WithoutLineBreaks(merged)));
}

std::string UnsubscribeHeaderLines(const std::string& sender, const std::string& mergedUrl) {
  const std::string mailto =
      "<mailto:" + EscapeAddress(platform::ToUtf8(WithoutLineBreaks(sender))) + "?subject=unsubscribe>";
  mime::CFoldedLine line("List-Unsubscribe:");
  if (!mergedUrl.empty()) AppendAddress(line, " ", "<" + mergedUrl + ">,");
  AppendAddress(line, " ", mailto);
  std::string lines = line.Text() + "\r\n";
  if (!mergedUrl.empty()) lines += "List-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n";
  return lines;
}

std::string AdvertSubject(const std::string& subject) {
  std::string_view rest = subject;
  if (rest.starts_with("(") || rest.starts_with("[")) {
    rest.remove_prefix(1);
  } else {
    for (const std::string& bracket : T().wideBrackets) {
      if (rest.starts_with(bracket)) rest.remove_prefix(bracket.size());
    }
  }
  if (StartsWithAdvertWord(subject) || StartsWithAdvertWord(rest)) return subject;
  return T().advertMark + subject;
}

std::string RefusalLine(const std::string& mergedUrl) {
  if (mergedUrl.empty()) return T().refuseByReply;
  return T().refuseOrVisit + mergedUrl + T().refuseVisitEnd;
}

}  // namespace message
