#include "ui/common/picture_resources.h"

#include "ui/common/resources.h"

wxBitmap LoadPictureResource(int id) {
  const EmbeddedResource* resource = FindEmbeddedResource(id, ".bmp");
  if (resource == nullptr) return wxBitmap();
  const wxImage image = LoadResourceImage(*resource);
  return image.IsOk() ? wxBitmap(image) : wxBitmap();
}

wxIconBundle LoadIconBundleResource(int id) { return LoadIconResource(id); }
