#include "ui/common/text.h"

#include "platform/codepage.h"

wxString FromCodePage(const std::string& codePage) {
  return wxString::FromUTF8(platform::ToUtf8(codePage));
}

std::string ToCodePage(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return platform::FromUtf8(std::string_view(utf8.data(), utf8.length()));
}
