#include "ui/common/page_colour.h"

#include <wx/settings.h>
#include <wx/window.h>

void UseDialogColour(wxWindow* page) {
  page->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
}
