// The font of the dialog templates: 宋体 10 point. Where 宋体 is not installed
// an installed CJK face stands in for it, so that Chinese text and the sizes
// computed in dialog units stay consistent.
#pragma once

#include <wx/font.h>
#include <wx/gdicmn.h>

class wxWindow;

// The template font (cached after the first call).
wxFont TemplateFont();

// Gives `window` the template font, so that its dialog units and those of the
// children it creates afterwards are measured on that font.
void ApplyTemplateFont(wxWindow* window);

// A rectangle of the template, in dialog units, converted to pixels of `window`
// (whose font must already be the template font).
wxRect DialogRect(wxWindow* window, int x, int y, int width, int height);
