// The program's pictures and icon by resource number: Windows resources
// (res/postwing.rc) on Windows, the table compiled in from res/ elsewhere.
#pragma once

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

// Picture `id` (a BITMAP resource); an invalid bitmap when there is none.
wxBitmap LoadPictureResource(int id);

// Every size of icon `id`; empty when there is none.
wxIconBundle LoadIconBundleResource(int id);
