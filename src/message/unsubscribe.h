// How a reader of bulk mail gets off the list: the List-Unsubscribe header
// lines (RFC 2369, with the one-click post of RFC 8058 for a web address),
// and for commercial mail the marked subject and the line that tells the
// reader how to refuse further mail. Texts are in the code page.
#pragma once

#include <string>

#include "message/merge_fields.h"

namespace message {

// `url` with its fields merged from `row` (each cell as UTF-8 with every byte
// but letters, digits, "-._~@" percent-encoded, so a cell cannot change the
// address's shape) and then every byte an address cannot hold (non-ASCII as
// UTF-8, blanks, controls, quotes, angle brackets) percent-encoded. "" stays "".
std::string MergeUnsubscribeUrl(const std::string& url, const CFieldRow* row);

// "List-Unsubscribe: <mailto:SENDER?subject=unsubscribe>" and, with a web
// address (already merged), that address first and the one-click line after
// it; folded to 78 characters, each line ending in CR LF.
std::string UnsubscribeHeaderLines(const std::string& sender, const std::string& mergedUrl);

// The subject of commercial mail: "(广告)" in front unless it starts with
// 广告 or AD (any letter case), also inside a leading bracket.
std::string AdvertSubject(const std::string& subject);

// The line telling the reader of commercial mail how to refuse further mail:
// reply with 退订, or visit the address when there is one. No line end.
std::string RefusalLine(const std::string& mergedUrl);

}  // namespace message
