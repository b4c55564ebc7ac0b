// The About box: the program's icon, name, version, author and date.
#pragma once

#include <wx/dialog.h>

class CAboutBox : public wxDialog {
 public:
  explicit CAboutBox(wxWindow* parent);
};
