// How a file is named to the system's handler (CLinkOpener::ShellOpen) so that
// it opens with the program registered for its type: the path itself on
// Windows, a file: URL elsewhere (GIO opens addresses).
#pragma once

#include <wx/string.h>

wxString FileOpenTarget(const wxString& path);
