// HTML turned into the plain text a reader without HTML sees, and text made
// safe to put into HTML. Both work on UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace message {

// The text of `html` (UTF-8): no tags; script, style and title dropped;
// paragraphs as an empty line, line breaks and list items as a new line;
// blanks collapsed outside <pre>; a link as "text (address)" unless the text
// is the address; entities decoded, numeric ones included. "\n" line ends,
// ending in "\n" unless empty.
std::string HtmlToText(std::string_view html);

// The character of the entity at `text[at]` ("&amp;", "&#20013;", "&#x4E2D;")
// as UTF-8, and its length in `length`; false when no known entity starts there.
bool DecodeEntity(std::string_view text, std::size_t at, std::string& utf8, std::size_t& length);

// `text` with & < > " ' written as entities.
std::string HtmlEscape(std::string_view text);

// The code point `code` as UTF-8 (U+FFFD for one that is no character).
std::string Utf8Char(unsigned long code);

}  // namespace message
