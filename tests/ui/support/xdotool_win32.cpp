// Windows: the same real input, through the system's own input queue
// (SendInput, which wxUIActionSimulator uses on Windows): the system routes it
// as it routes a person's keys and clicks. Xdotool() itself, the host's
// program, is not available to Windows programs.
#include <map>

#include <wx/tokenzr.h>
#include <wx/uiaction.h>

#include "ui/support/xdotool.h"

// After wxWidgets, which sets up the Unicode Windows headers.
#include <windows.h>

namespace uitest {

namespace {

// The keys the tests press, by their xdotool names.
int KeyCode(const wxString& name) {
  static const std::map<wxString, int> codes = {
      {"Up", WXK_UP},         {"Down", WXK_DOWN},     {"Left", WXK_LEFT},
      {"Right", WXK_RIGHT},   {"Tab", WXK_TAB},       {"Return", WXK_RETURN},
      {"Escape", WXK_ESCAPE}, {"space", WXK_SPACE},   {"BackSpace", WXK_BACK},
      {"Home", WXK_HOME},     {"End", WXK_END},       {"Delete", WXK_DELETE},
  };
  const auto found = codes.find(name);
  return found == codes.end() ? 0 : found->second;
}

}  // namespace

bool PressKey(const wxString& keys) {
  wxUIActionSimulator sim;
  for (const wxString& name : wxSplit(keys, ' ')) {
    if (name.empty()) continue;
    const int code = KeyCode(name);
    if (code == 0 || !sim.Char(code)) return false;
  }
  return true;
}

bool ClickScreen(const wxPoint& screen, int button, int repeat) {
  const int which = button == 3 ? wxMOUSE_BTN_RIGHT
                    : button == 2 ? wxMOUSE_BTN_MIDDLE
                                  : wxMOUSE_BTN_LEFT;
  wxUIActionSimulator sim;
  if (!sim.MouseMove(screen)) return false;
  for (int i = 0; i < repeat; ++i) {
    if (!sim.MouseClick(which)) return false;
  }
  return true;
}

bool ClickFromOutside(const wxPoint& screen) {
  if (!SetCursorPos(screen.x, screen.y)) return false;
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendInput(2, clicks, sizeof(INPUT)) == 2;
}

}  // namespace uitest
