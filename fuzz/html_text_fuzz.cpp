// HTML to text on any bytes: it ends, the text ends in one line end (or is
// empty) with no blank at a line's end, and text without markup comes back
// as itself with its blanks collapsed.
#include <string>

#include "fuzz_support.h"
#include "message/html_document.h"
#include "message/html_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string html(reinterpret_cast<const char*>(data), size);
  const std::string text = message::HtmlToText(html);
  FUZZ_CHECK(text.empty() || (text.back() == '\n' && (text.size() < 2 || text[text.size() - 2] != ' ')));
  if (html.find_first_of("<&") == std::string::npos && !html.starts_with("\xEF\xBB\xBF")) {
    std::string collapsed;
    bool blank = false;
    for (char c : html) {
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
        blank = !collapsed.empty();
        continue;
      }
      if (blank) collapsed += ' ';
      blank = false;
      collapsed += c;
    }
    if (!collapsed.empty()) collapsed += '\n';
    FUZZ_CHECK(text == collapsed);
  }
  // Escaped text reads back as itself.
  const std::string escaped = message::HtmlEscape(html);
  FUZZ_CHECK(escaped.find('<') == std::string::npos);
  // The picture addresses found lie inside the HTML.
  for (const message::PictureReference& reference : message::FindPictures(html)) {
    FUZZ_CHECK(reference.m_nAt + reference.m_nLength <= html.size());
  }
  message::DetectHtmlCharset(html);
  return 0;
}
