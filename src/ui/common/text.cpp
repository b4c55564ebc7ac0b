#include "ui/common/text.h"

#include "platform/codepage.h"

#ifdef __WXMSW__
#include <wx/strconv.h>

// wxMSW's default conversion is the ANSI code page of the moment; the program's
// texts are code page 936 whatever the system's is.
namespace {
const wxCSConv& CodePage936() {
  static const wxCSConv conv(wxFONTENCODING_CP936);
  return conv;
}
}  // namespace

wxString FromCodePage(const std::string& codePage) {
  wxString text(codePage.data(), CodePage936(), codePage.size());
  // Bytes that are no character fail the whole conversion: the core's own
  // conversion then marks just them (U+FFFD).
  if (text.empty() && !codePage.empty()) text = wxString::FromUTF8(platform::ToUtf8(codePage));
  return text;
}

std::string ToCodePage(const wxString& text) {
  const wxScopedCharBuffer whole = text.mb_str(CodePage936());
  if (whole.length() != 0 || text.empty()) return std::string(whole.data(), whole.length());
  // A character the code page lacks fails the whole conversion: convert one
  // character at a time and make such characters '?', as the core does.
  std::string out;
  for (wxUniChar c : text) {
    // mb_str() hands out the string's own cached copy: the string must
    // outlive the buffer.
    const wxString one(c);
    const wxScopedCharBuffer bytes = one.mb_str(CodePage936());
    if (bytes.length() == 0) {
      out += '?';
    } else {
      out.append(bytes.data(), bytes.length());
    }
  }
  return out;
}
#else
wxString FromCodePage(const std::string& codePage) {
  return wxString::FromUTF8(platform::ToUtf8(codePage));
}

std::string ToCodePage(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return platform::FromUtf8(std::string_view(utf8.data(), utf8.length()));
}
#endif
