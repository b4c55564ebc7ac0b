#include "ui/common/picture_resources.h"

#include <wx/msw/private.h>  // wxGetInstance(): the module holding the resources
#include <wx/log.h>

namespace {
// wxWidgets names a numbered resource "#<number>".
wxString ResourceName(int id) { return wxString::Format("#%d", id); }
}  // namespace

wxBitmap LoadPictureResource(int id) {
  wxLogNull quiet;  // a missing picture is a failed load, not a message box
  wxBitmap bitmap(ResourceName(id), wxBITMAP_TYPE_BMP_RESOURCE);
  return bitmap.IsOk() ? bitmap : wxBitmap();
}

wxIconBundle LoadIconBundleResource(int id) {
  wxLogNull quiet;
  return wxIconBundle(ResourceName(id), wxGetInstance());
}
