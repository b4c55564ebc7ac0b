// Opening the notification-area icon's menu from the window that takes its
// commands.
#pragma once

class wxMenu;
class wxTopLevelWindow;

// Opens `menu` at the pointer with `owner` as the window its commands reach,
// and returns once it has closed. `owner` may be hidden. wx would open an
// icon's menu from a hidden frame of its own, and wxGTK drops the commands of
// a menu whose window is no dialog while a modal dialog is open, which the
// program's main window always is.
void PopUpTrayMenu(wxTopLevelWindow& owner, wxMenu& menu);
