#include "ui/app/system_menu.h"

bool AppendSystemMenuCommand(wxTopLevelWindow*, int, const wxString&) { return false; }
