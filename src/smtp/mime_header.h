// The pieces of a message header that readers need to show a GBK message
// correctly: RFC 2047 encoded words folded to 78 characters, an RFC 5322
// date, a Message-ID, and the choice of transfer encoding for the body.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace mime {

// The charset named in Content-Type and in encoded words: the code page.
inline constexpr char kCharset[] = "GBK";
// Header lines are folded to at most this many characters.
inline constexpr std::size_t kFoldWidth = 78;
// A body line longer than this many bytes (without CR LF) cannot go as 8bit.
inline constexpr std::size_t kMaxBodyLine = 998;

// A header line being written, folded before it grows past kFoldWidth.
class CFoldedLine {
 public:
  // Starts the line with `start` ("Subject:").
  explicit CFoldedLine(std::string_view start);
  // Appends `token`, preceded by `separator` ("" or " "), or, when the two
  // would pass the width on this line and the line holds more than its start,
  // by a fold (CR LF and one space) instead of the separator.
  void Append(std::string_view separator, std::string_view token);
  // Appends `text` (GBK bytes with some non-ASCII) as encoded words, each as
  // long as the line allows and never splitting a double-byte character.
  void AppendEncoded(std::string_view separator, std::string_view text);
  // The line so far, without a line end.
  const std::string& Text() const { return m_strText; }

 private:
  std::string m_strText;
  std::size_t m_nStart;  // the length of the start
  std::size_t m_nLine;   // the length of the current physical line
};

// Whether `text` holds a byte outside ASCII.
bool HasNonAscii(std::string_view text);

// "Mon, 07 Dec 2026 18:30:00 +0800" for `time` in the local time zone, with
// English names whatever the locale.
std::string FormatDate(std::time_t time);

// "<random.time@domain>", the domain taken from the sender's address or, if
// it has none, from the host name.
std::string MakeMessageId(std::string_view sender, std::time_t time);

// Whether a body line (lines ended by CR, LF or CR LF) is longer than kMaxBodyLine.
bool HasOverlongLine(std::string_view body);

// `bytes` as base64 lines of 76 characters, each ended by CR LF.
std::string Base64Lines(std::string_view bytes);

}  // namespace mime
