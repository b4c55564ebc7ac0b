// The program's message boxes. No application title is defined, so every box
// carries the executable's file name without extension as its caption.
#pragma once

#include <wx/defs.h>
#include <wx/string.h>

class wxWindow;

// The executable's file name without directory and extension.
wxString AppCaption();

// A modal message box with the program's caption; returns wxOK, wxYES, ... as
// wxMessageBox does. `style` takes wxMessageBox's flags (wxOK, wxICON_*).
// The buttons are labelled in Chinese ("确定", "取消", "是", "否") whatever
// the locale, and the icon of the style is drawn: GTK 3's own message boxes
// show no icon, so wx's generic box is used.
int AppMessageBox(const wxString& text, long style = wxOK, wxWindow* parent = nullptr);
