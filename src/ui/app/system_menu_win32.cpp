#include "ui/app/system_menu.h"

#include <wx/menu.h>

// wxMSW wraps the real system menu; a command added to it arrives as
// WM_SYSCOMMAND and is turned into a wxEVT_MENU event for the window.
// Commands of the system menu keep their low four bits clear (the system uses
// them), so `id` must be a multiple of 16 below 0xF000.
bool AppendSystemMenuCommand(wxTopLevelWindow* window, int id, const wxString& label) {
  if ((id & 0xF) != 0 || id <= 0 || id >= 0xF000) return false;
  wxMenu* menu = window->MSWGetSystemMenu();
  if (menu == nullptr) return false;
  menu->AppendSeparator();
  return menu->Append(id, label) != nullptr;
}
