#include "ui/app/app_icon.h"

#include <cstdlib>

#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include "ui/controls/embedded_resources.h"

namespace {
constexpr int kAppIconId = 128;
}

wxIconBundle AppIcons() {
  wxIconBundle bundle;
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  for (const EmbeddedResource* r = kEmbeddedResources; r->data; ++r) {
    if (r->id != kAppIconId) continue;
    wxMemoryInputStream stream(r->data, r->size);
    wxImage image(stream, wxBITMAP_TYPE_ANY);
    if (!image.IsOk()) continue;
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    bundle.AddIcon(icon);
  }
  return bundle;
}

wxIcon AppIcon(int pixels) {
  wxIconBundle bundle = AppIcons();
  if (bundle.IsEmpty()) return wxIcon();
  return bundle.GetIcon(wxSize(pixels, pixels), wxIconBundle::FALLBACK_NEAREST_LARGER);
}
