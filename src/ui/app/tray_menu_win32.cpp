#include "ui/app/tray_menu.h"

#include <wx/menu.h>
#include <wx/toplevel.h>
#include <wx/msw/wrapwin.h>

// A menu opened for a notification-area icon stays open after a click
// elsewhere unless its owner is the foreground window, and the next one
// fails to open unless the owner gets a message after it has closed: the
// system's documented remedy is SetForegroundWindow before and WM_NULL after.
void PopUpTrayMenu(wxTopLevelWindow& owner, wxMenu& menu) {
  const HWND window = static_cast<HWND>(owner.GetHWND());
  ::SetForegroundWindow(window);
  owner.PopupMenu(&menu);
  ::PostMessageW(window, WM_NULL, 0, 0);
}
