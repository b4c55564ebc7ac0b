#include "ui/common/template_font.h"

#include <wx/fontenum.h>
#include <wx/window.h>

namespace {

// 宋体 under its two names first, then the CJK faces that Linux systems ship.
const char* const kFaces[] = {
    "宋体", "SimSun", "NSimSun", "WenQuanYi Zen Hei", "Noto Sans CJK SC",
    "Noto Serif CJK SC", "AR PL UMing CN", "Droid Sans Fallback",
};

// The first of kFaces that is installed. Asking for a face by name is no test
// (fontconfig answers any name with some font), so the installed faces are
// listed instead.
wxFont MakeTemplateFont() {
  const wxArrayString installed = wxFontEnumerator::GetFacenames();
  for (const char* face : kFaces) {
    const wxString name = wxString::FromUTF8(face);
    if (installed.Index(name, false) != wxNOT_FOUND) {
      return wxFont(wxFontInfo(10).FaceName(name));
    }
  }
  return wxFont(wxFontInfo(10));
}

}  // namespace

wxFont TemplateFont() {
  static const wxFont font = MakeTemplateFont();
  return font;
}

void ApplyTemplateFont(wxWindow* window) { window->SetFont(TemplateFont()); }

wxRect DialogRect(wxWindow* window, int x, int y, int width, int height) {
  return wxRect(window->ConvertDialogToPixels(wxPoint(x, y)),
                window->ConvertDialogToPixels(wxSize(width, height)));
}
