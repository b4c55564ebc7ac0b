// The toolkit's own consistency checks. The library is built with them (the
// window tests want to hear of a tripped one), and by default a tripped check
// opens the toolkit's English dialog with its stack trace. A user of the
// program must never meet that dialog: the program writes each tripped check
// as one line to a log in its settings folder instead, and carries on as the
// toolkit does after the dialog's "continue".
#pragma once

#include <wx/string.h>

// The log the checks go to, ini/wx-checks.log under the working directory
// the program started in.
wxString ToolkitChecksLogPath(const wxString& startDir);

// Routes every tripped check from now on to that log. Called first thing,
// before the toolkit starts.
void RouteToolkitChecksToLog();
