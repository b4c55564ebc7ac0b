#include "ui/controls/link_label.h"

#include <wx/gdicmn.h>
#include <wx/settings.h>

#include "ui/common/mouse_passthrough.h"

namespace {

constexpr int kBold = 700;
constexpr int kNormal = 400;
constexpr double kPointsPerInch = 72.0;
constexpr double kDefaultDpi = 96.0;

}  // namespace

CLinkLabel::CLinkLabel()
    : m_crText(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)),
      m_crBk(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)),
      m_nFontWeight(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetNumericWeight()) {}

CLinkLabel::CLinkLabel(wxWindow* parent, wxWindowID id, const wxString& text, const wxPoint& pos,
                       const wxSize& size, long style)
    : CLinkLabel() {
  Create(parent, id, text, pos, size, style);
}

bool CLinkLabel::Create(wxWindow* parent, wxWindowID id, const wxString& text, const wxPoint& pos,
                        const wxSize& size, long style) {
  if (!CPaintedStatic::Create(parent, id, text, pos, size, style)) return false;
  RebuildFont();
  if (size == wxDefaultSize) SetSize(GetBestSize());
  PassMouseToParent(this);
  return true;
}

CLinkLabel& CLinkLabel::SetText(const wxString& text) {
  SetLabel(text);
  return *this;
}

CLinkLabel& CLinkLabel::SetTextColor(const wxColour& colour) {
  m_crText = colour;
  RedrawNow();
  return *this;
}

CLinkLabel& CLinkLabel::SetBkColor(const wxColour& colour) {
  m_crBk = colour;
  return *this;
}

CLinkLabel& CLinkLabel::SetFontBold(bool bold) {
  m_nFontWeight = bold ? kBold : kNormal;
  RebuildFont();
  RedrawNow();
  return *this;
}

CLinkLabel& CLinkLabel::SetFontSize(int size) {
  m_nFontHeight = -size;
  RebuildFont();
  RedrawNow();
  return *this;
}

// The default GUI font with the label's weight and height. A negative height is
// the character (em) height in pixels; a positive one is the height of the
// whole character cell, so the largest font whose line fits in it is taken.
void CLinkLabel::RebuildFont() {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  font.SetNumericWeight(m_nFontWeight);
  if (m_nFontHeight < 0) {
    // A point is 1/72 inch of em height. wxFont::SetPixelSize would fit the
    // whole line (cell) on GTK instead, drawing the characters a quarter
    // smaller.
    const double dpi = GetHandle() != nullptr ? GetDPI().y : wxGetDisplayPPI().y;
    font.SetFractionalPointSize(-m_nFontHeight * kPointsPerInch / (dpi > 0 ? dpi : kDefaultDpi));
  } else if (m_nFontHeight > 0 && GetHandle() != nullptr) {
    for (int em = m_nFontHeight; em > 1; --em) {
      font.SetPixelSize(wxSize(0, em));
      int height = 0;
      GetTextExtent("Ag", nullptr, &height, nullptr, nullptr, &font);
      if (height <= m_nFontHeight) break;
    }
  }
  m_font = font;
  SetFont(font);
}

void CLinkLabel::RedrawNow() {
  if (GetHandle() == nullptr) return;
  Refresh();
  Update();
}
