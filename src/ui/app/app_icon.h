// The program's icon (resource 128) from the pictures compiled in.
#pragma once

#include <wx/icon.h>
#include <wx/iconbndl.h>

// Every size of icon 128 found; empty when none is compiled in.
wxIconBundle AppIcons();
// The size of icon 128 closest to `pixels` square, or an invalid icon.
wxIcon AppIcon(int pixels);
