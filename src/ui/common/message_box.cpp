#include "ui/common/message_box.h"

#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/stdpaths.h>

wxString AppCaption() {
  return wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetName();
}

int AppMessageBox(const wxString& text, long style, wxWindow* parent) {
  return wxMessageBox(text, AppCaption(), style, parent);
}
