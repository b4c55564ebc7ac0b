#include "ui/app/show_message.h"

#include <wx/event.h>
#include <wx/window.h>

namespace {

// wxMSW keeps one handler per message number, a plain function: the command
// is kept here.
int g_showCommand = 0;

bool OnShowWindowMessage(wxWindowMSW* window, WXUINT, WXWPARAM, WXLPARAM) {
  wxCommandEvent event(wxEVT_MENU, g_showCommand);
  event.SetEventObject(window);
  window->HandleWindowEvent(event);
  return true;
}

}  // namespace

bool AcceptShowWindowMessage(int command) {
  const bool first = g_showCommand == 0;
  g_showCommand = command;
  return !first || wxWindow::MSWRegisterMessageHandler(kShowWindowMessage, OnShowWindowMessage);
}
