#include "ui/controls/painted_static.h"

#include <wx/dcclient.h>
#include <wx/settings.h>

bool CPaintedStatic::Create(wxWindow* parent, wxWindowID id, const wxString& text,
                            const wxPoint& pos, const wxSize& size, long style) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  if (!wxControl::Create(parent, id, pos, size, style | wxBORDER_NONE)) return false;
  wxControl::SetLabel(text);
  Bind(wxEVT_PAINT, &CPaintedStatic::OnPaint, this);
  // No minimum size: the text may change and the control be fitted to it.
  if (size == wxDefaultSize) SetSize(GetBestSize());
  return true;
}

void CPaintedStatic::SetLabel(const wxString& label) {
  if (label == GetLabel()) return;
  wxControl::SetLabel(label);
  Refresh();
}

wxColour CPaintedStatic::TextColour() const {
  return wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
}

// The colour that shows behind the control: panels without a colour of their
// own are see-through on GTK, so the nearest ancestor that set one decides.
wxColour CPaintedStatic::FillColour() const {
  for (const wxWindow* w = GetParent(); w != nullptr; w = w->GetParent()) {
    if (w->UseBgCol()) return w->GetBackgroundColour();
    if (w->IsTopLevel()) break;
  }
  return GetParent() != nullptr ? GetParent()->GetBackgroundColour() : GetBackgroundColour();
}

wxSize CPaintedStatic::DoGetBestClientSize() const {
  wxCoord width = 0, height = 0;
  const wxFont font = TextFont();
  GetTextExtent(GetLabel(), &width, &height, nullptr, nullptr, &font);
  return wxSize(width, height);
}

void CPaintedStatic::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  const wxSize client = GetClientSize();
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(FillColour()));
  dc.DrawRectangle(0, 0, client.x, client.y);

  dc.SetFont(TextFont());
  dc.SetTextForeground(TextColour());
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  const wxSize text = dc.GetTextExtent(GetLabel());
  const long style = GetWindowStyleFlag();
  int x = 0;
  if (style & wxALIGN_CENTRE_HORIZONTAL) {
    x = (client.x - text.x) / 2;
  } else if (style & wxALIGN_RIGHT) {
    x = client.x - text.x;
  }
  const int y = (style & wxALIGN_CENTRE_VERTICAL) ? (client.y - text.y) / 2 : 0;
  dc.DrawText(GetLabel(), x, y);
}
