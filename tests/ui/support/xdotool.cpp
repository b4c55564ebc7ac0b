#include "ui/support/xdotool.h"

#include <cstdlib>
#include <string>
#include <thread>

#include <wx/app.h>
#include <wx/utils.h>

namespace uitest {

// Windows programs cannot run the host's xdotool: xdotool_win32.cpp sends the
// same input through the system there.
#ifndef __WXMSW__
bool Xdotool(const wxString& args) {
  wxArrayString output, errors;
  return wxExecute("xdotool " + args, output, errors, wxEXEC_SYNC | wxEXEC_NODISABLE) == 0;
}

bool PressKey(const wxString& keys) { return Xdotool("key " + keys); }

bool ClickScreen(const wxPoint& screen, int button, int repeat) {
  return Xdotool(wxString::Format("mousemove --sync %d %d click --repeat %d %d", screen.x, screen.y,
                                  repeat, button));
}

bool ClickFromOutside(const wxPoint& screen) {
  const std::string command = "xdotool mousemove " + std::to_string(screen.x) + " " +
                              std::to_string(screen.y) + " click 1";
  return std::system(command.c_str()) == 0;
}
#endif

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    wxTheApp->Yield(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace uitest
