// Line breaks for Chinese text in wxHtml. wxHtml breaks lines only at spaces,
// so a Chinese paragraph, which has none, would run off the page's edge. Every
// tag ends a word, however, so a <wbr> between two Chinese characters lets the
// line break there; wxHtml ignores the unknown tag otherwise, and browsers
// read it as the same break opportunity.
#pragma once

#include <wx/string.h>

// Whether `c` is a CJK character (ideographs, kana, CJK and full-width
// punctuation): text without spaces between words.
bool IsCjkChar(wxUniChar c);

// Inserts "<wbr>" between adjacent CJK characters in the text of an HTML page,
// except before closing and after opening punctuation ("，" never starts a line,
// "（" never ends one). Tags, attributes, comments and the contents of <pre>,
// <title>, <script>, <style> and <textarea> are left as they are.
wxString InsertCjkBreaks(const wxString& html);
