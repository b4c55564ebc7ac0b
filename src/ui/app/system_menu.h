// The window's system menu (the menu of the title bar's icon, Alt+Space).
#pragma once

#include <wx/string.h>
#include <wx/toplevel.h>

// Appends a separator and command `id` labelled `label` to `window`'s system
// menu; choosing it sends `window` a wxEVT_MENU event of that id. False where
// the toolkit cannot extend that menu (GTK): the caller then offers the
// command elsewhere.
bool AppendSystemMenuCommand(wxTopLevelWindow* window, int id, const wxString& label);
