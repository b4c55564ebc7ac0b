// A real desktop around the window under test, on the test's own Xvfb
// display: trayer as the notification area, openbox as the window manager.
// Each is started by the test and ended (by its process id) with the object.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/string.h>

class wxWindow;

namespace uitest {

// A program of the desktop, running while the object lives.
class CDesktopProgram {
 public:
  CDesktopProgram() = default;
  ~CDesktopProgram();
  CDesktopProgram(const CDesktopProgram&) = delete;
  CDesktopProgram& operator=(const CDesktopProgram&) = delete;

  // Starts `command`; whether it started.
  bool Start(const wxString& command);
  long Pid() const { return m_pid; }

 private:
  long m_pid = 0;
};

// trayer along the top edge, icons from the left: a real notification area.
// Start waits until it owns the tray (wxTaskBarIcon::IsAvailable()).
class CTray : public CDesktopProgram {
 public:
  bool Start();
  // The tray's window on the screen (the icons lie inside it).
  wxRect ScreenRect() const;
  // Whether an icon has come into the tray: trayer is a sliver while it
  // holds none, and grows by a square for each icon it takes in (an icon
  // that is set is not there yet until the tray has embedded it).
  bool HoldsAnIcon() const;
};

// openbox: Start waits until it manages the screen.
class CWindowManager : public CDesktopProgram {
 public:
  bool Start();
};

// The windows `xdotool search <searchArgs>` finds, each with its id and its
// place and size on the screen; empty when there is none.
std::vector<std::pair<unsigned long, wxRect>> WindowGeometries(const wxString& searchArgs);

// Lines that `xprop <args>` prints, empty when it fails.
std::vector<std::string> Xprop(const wxString& args);
// The X window of this process that is mapped and as large as `window`'s
// client area (a top-level window's own X window), or 0 when there is none:
// hidden and iconified windows are unmapped.
unsigned long MappedWindowId(const wxWindow* window);

}  // namespace uitest
