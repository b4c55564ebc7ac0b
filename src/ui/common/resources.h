// Pictures and icons compiled into the executable (res/<id>_<words>.<ext>),
// looked up by their resource number.
#pragma once

#include <wx/iconbndl.h>
#include <wx/image.h>

struct EmbeddedResource;

// The first resource with number `id` whose file name ends in `extension`
// (".bmp", ".png"); null when there is none.
const EmbeddedResource* FindEmbeddedResource(int id, const char* extension);

// The resource decoded as a picture; an invalid image when it cannot be read.
wxImage LoadResourceImage(const EmbeddedResource& resource);

// Every .png of number `id` as one icon in several sizes (the application
// icon 128); empty when there is none.
wxIconBundle LoadIconResource(int id);
