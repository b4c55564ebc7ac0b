#include "ui/app/tray_menu.h"

#include <wx/menu.h>
#include <wx/toplevel.h>

// The menu opens at the pointer of the tray's own button event, which is the
// event GTK is handling now.
void PopUpTrayMenu(wxTopLevelWindow& owner, wxMenu& menu) { owner.PopupMenu(&menu); }
