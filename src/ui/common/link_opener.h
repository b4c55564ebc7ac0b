// What opens web and mail addresses for the window's links. The program passes
// the system's handler (SystemLinkOpener) to the controls and pages that open
// addresses; window tests pass a stand-in that records what would be opened.
// Results are platform::ShellResult codes (platform::IsOpened tells success).
#pragma once

#include <wx/string.h>

class CLinkOpener {
 public:
  virtual ~CLinkOpener() = default;
  // Opens `url` with the system's handler, else with the web browser.
  virtual int OpenUrl(const wxString& url, int showCommand) = 0;
  // Opens `target` with the system's handler only.
  virtual int ShellOpen(const wxString& target, int showCommand) = 0;
};

// The system's handler (platform/shell.h), for the life of the process.
CLinkOpener& SystemLinkOpener();
