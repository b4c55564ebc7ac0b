#include "ui/common/cjk_breaks.h"

#include <wx/wxcrt.h>

namespace {

// Elements whose text keeps its own line breaks or is not shown as text.
const char* const kVerbatimElements[] = {"pre", "title", "script", "style", "textarea"};

const wchar_t kClosingPunctuation[] = L"，。、；：？！）］｝〕〉》」』】〗〙〛．，・ー々ゝゞ〜～";
const wchar_t kOpeningPunctuation[] = L"（［｛〔〈《「『【〖〘〚";

bool IsIn(const wchar_t* set, wxUniChar c) {
  for (; *set != L'\0'; ++set) {
    if (static_cast<wxUint32>(*set) == c.GetValue()) return true;
  }
  return false;
}

bool IsVerbatimElement(const wxString& name) {
  for (const char* element : kVerbatimElements) {
    if (name == element) return true;
  }
  return false;
}

// The lower-case name of the tag starting at `tag` ("<pre ...>" gives "pre",
// "</pre>" gives "pre"), and whether it closes.
wxString TagName(const wxString& tag, bool* closing) {
  std::size_t i = 1;
  *closing = i < tag.length() && tag[i] == '/';
  if (*closing) ++i;
  wxString name;
  for (; i < tag.length(); ++i) {
    const wxUniChar c = tag[i];
    if (!(wxIsalnum(c) || c == '-' || c == ':')) break;
    name += c;
  }
  return name.Lower();
}

// The end (one past) of the markup starting at `start` (a '<'): a comment runs
// to "-->", a tag to the first '>' outside quoted attribute values.
std::size_t MarkupEnd(const wxString& html, std::size_t start) {
  if (html.compare(start, 4, "<!--") == 0) {
    const std::size_t end = html.find("-->", start + 4);
    return end == wxString::npos ? html.length() : end + 3;
  }
  wxUniChar quote = 0;
  for (std::size_t i = start + 1; i < html.length(); ++i) {
    const wxUniChar c = html[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return html.length();
}

}  // namespace

bool IsCjkChar(wxUniChar c) {
  const wxUint32 v = c.GetValue();
  return (v >= 0x2E80 && v <= 0x2FDF) ||    // radicals
         (v >= 0x3000 && v <= 0x31FF) ||    // CJK punctuation, kana, bopomofo
         (v >= 0x3400 && v <= 0x4DBF) ||    // extension A
         (v >= 0x4E00 && v <= 0x9FFF) ||    // unified ideographs
         (v >= 0xF900 && v <= 0xFAFF) ||    // compatibility ideographs
         (v >= 0xFE30 && v <= 0xFE4F) ||    // compatibility forms
         (v >= 0xFF00 && v <= 0xFFEF) ||    // full-width forms
         (v >= 0x20000 && v <= 0x3FFFF);    // supplementary ideographs
}

wxString InsertCjkBreaks(const wxString& html) {
  wxString out;
  out.reserve(html.length() + html.length() / 4);
  wxString verbatim;  // the element whose text is being copied unchanged
  wxUniChar previous = 0;
  bool previousCjk = false;
  for (std::size_t i = 0; i < html.length();) {
    const wxUniChar c = html[i];
    if (c == '<') {
      const std::size_t end = MarkupEnd(html, i);
      const wxString markup = html.substr(i, end - i);
      out += markup;
      i = end;
      previousCjk = false;  // markup already separates the words around it
      bool closing = false;
      const wxString name = TagName(markup, &closing);
      if (verbatim.empty() && !closing && IsVerbatimElement(name)) {
        verbatim = name;
      } else if (closing && name == verbatim) {
        verbatim.clear();
      }
      continue;
    }
    const bool cjk = verbatim.empty() && IsCjkChar(c);
    if (cjk && previousCjk && !IsIn(kClosingPunctuation, c) &&
        !IsIn(kOpeningPunctuation, previous)) {
      out += "<wbr>";
    }
    out += c;
    previous = c;
    previousCjk = cjk;
    ++i;
  }
  return out;
}
