#include "ui/common/resources.h"

#include <cstring>

#include <wx/bitmap.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "ui/common/resources_testing.h"
#include "ui/controls/embedded_resources.h"

namespace {

bool EndsWith(const char* text, const char* suffix) {
  const std::size_t n = std::strlen(text);
  const std::size_t m = std::strlen(suffix);
  return n >= m && std::strcmp(text + n - m, suffix) == 0;
}

const EmbeddedResource* g_resourceTable = nullptr;

const EmbeddedResource* ResourceTable() {
  return g_resourceTable != nullptr ? g_resourceTable : kEmbeddedResources;
}

}  // namespace

void SetResourceTableForTesting(const EmbeddedResource* table) { g_resourceTable = table; }

const EmbeddedResource* FindEmbeddedResource(int id, const char* extension) {
  for (const EmbeddedResource* r = ResourceTable(); r->data != nullptr; ++r) {
    if (r->id == id && EndsWith(r->name, extension)) return r;
  }
  return nullptr;
}

wxImage LoadResourceImage(const EmbeddedResource& resource) {
  wxMemoryInputStream stream(resource.data, resource.size);
  wxImage image;
  wxLogNull quiet;  // a damaged picture is a failed load, not a message box
  image.LoadFile(stream, EndsWith(resource.name, ".png") ? wxBITMAP_TYPE_PNG : wxBITMAP_TYPE_BMP);
  return image;
}

wxIconBundle LoadIconResource(int id) {
  wxIconBundle bundle;
  for (const EmbeddedResource* r = ResourceTable(); r->data != nullptr; ++r) {
    if (r->id != id || !EndsWith(r->name, ".png")) continue;
    const wxImage image = LoadResourceImage(*r);
    if (!image.IsOk()) continue;
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    bundle.AddIcon(icon);
  }
  return bundle;
}
