// What a mail file in HTML needs before it can go out: the charset it is
// written in, the pictures it names by a relative path (to travel inside the
// message, named by Content-ID), and a block of text put at its end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace message {

enum class HtmlCharsetKind {
  CodePage,  // GBK and the charsets it is part of or holds: cells go as they are
  Utf8,      // UTF-8: cells are converted
  Utf16,     // a UTF-16 byte-order mark: not taken
  Unknown,   // another charset: not taken
};

struct HtmlCharset {
  HtmlCharsetKind m_kind = HtmlCharsetKind::CodePage;
  std::string m_strLabel = "GBK";  // the charset named in Content-Type (or the unknown one)
};

// The charset of `html`: its byte-order mark, else <meta charset=...> or
// <meta http-equiv content="...; charset=...">, else GBK.
HtmlCharset DetectHtmlCharset(std::string_view html);

// A place in the HTML where a picture is named: `html.substr(m_nAt, m_nLength)`
// is the address as written (inside the quotes, if any).
struct PictureReference {
  std::size_t m_nAt = 0;
  std::size_t m_nLength = 0;
  std::string m_strPath;  // the address percent-decoded, without "?..." or "#..."
};

// The relative addresses of `html` that name pictures: <img src>, any
// background= attribute, and CSS url(...). Addresses with a scheme (http:,
// https:, data:, cid:, ...), "//", "#" or a field are left out.
std::vector<PictureReference> FindPictures(std::string_view html);

// `html` with `block` put before its last "</body>" (any letter case), or at
// its end when it has none.
std::string InsertBeforeBodyEnd(std::string_view html, std::string_view block);

}  // namespace message
