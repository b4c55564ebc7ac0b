#include "ui/app/process_setup.h"

#include <wx/image.h>
#include <wx/sysopt.h>

void SetUpProcess() {
  wxSystemOptions::SetOption("filesys.no-mimetypesmanager", 1);
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
}
