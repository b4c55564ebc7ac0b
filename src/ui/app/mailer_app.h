// The application object: runs the main window modally and ends the process
// with it. The label tables of the navigation tree live here too.
#pragma once

#include <wx/app.h>
#include <wx/string.h>

// Tree labels: the page code of g_navLabels[i] is i, of g_navSubLabels[i]
// is 20 + i. The labels are the keys of the navigation and are unique.
extern const wxString g_navLabels[7];
extern const wxString g_navSubLabels[2];

class CMailerApp : public wxApp {
 public:
  // Sends the toolkit's tripped checks to a log (never to the user), then
  // names the Chinese locale in the environment before the toolkit starts,
  // so that its fonts, and with them every window's size, are the same
  // whatever locale the program was started in.
  bool Initialize(int& argc, wxChar** argv) override;
  // Runs the main window modally; the program's work all happens inside it.
  bool OnInit() override;
  // There is no main loop of the application's own: once the main window has
  // ended, the process ends with status 0.
  int OnRun() override;
};
