// Real input from outside the program: xdotool sends keys and clicks through
// the X server (XTEST), so that GTK and wx route them as they route a
// person's. Each call returns once xdotool has sent them; the caller waits for
// their effect.
#pragma once

#include <chrono>
#include <functional>

#include <wx/gdicmn.h>
#include <wx/string.h>

namespace uitest {

// Runs `xdotool <args>`; whether it succeeded.
bool Xdotool(const wxString& args);
// Presses and releases the keys named as xdotool names them ("Up", "Tab").
bool PressKey(const wxString& keys);
// Moves the pointer to `screen` and clicks `button` there (1 left, 3 right).
bool ClickScreen(const wxPoint& screen, int button = 1, int repeat = 1);
// A left click at `screen` from outside the program's event handling, for a
// window that is busy: touches nothing of wx, so it may run on any thread.
bool ClickFromOutside(const wxPoint& screen);
// Dispatches events until `condition` holds or `limit` has passed; whether
// it holds.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace uitest
