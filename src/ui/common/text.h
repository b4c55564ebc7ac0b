// Text at the window's edge: the core keeps every text as code-page bytes
// (GBK) in std::string; the controls take wxString. These two functions are the
// only place where the window converts between them.
#pragma once

#include <string>

#include <wx/string.h>

// Code-page bytes to a wxString.
wxString FromCodePage(const std::string& codePage);

// A wxString to code-page bytes; characters the code page lacks become '?'.
std::string ToCodePage(const wxString& text);
