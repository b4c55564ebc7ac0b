#include "ui/controls/bitmap_static.h"

#include <wx/dcclient.h>

#include "ui/common/mouse_passthrough.h"
#include "ui/common/picture_resources.h"

bool CBitmapStatic::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                           const wxSize& size) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  if (!wxWindow::Create(parent, id, pos, size, wxBORDER_NONE)) return false;
  Bind(wxEVT_PAINT, &CBitmapStatic::OnPaint, this);
  PassMouseToParent(this);
  return true;
}

bool CBitmapStatic::LoadDib(int id) {
  if (id == m_nDibId && m_bitmap.IsOk()) return true;
  wxBitmap bitmap = LoadPictureResource(id);
  if (!bitmap.IsOk()) return false;
  m_bitmap = bitmap;
  m_nDibId = id;
  m_bChanged = true;
  return true;
}

void CBitmapStatic::Draw() {
  if (!m_bitmap.IsOk()) return;
  if (GetSize() != m_bitmap.GetSize()) SetSize(m_bitmap.GetSize());
  if (m_bChanged) {
    m_bChanged = false;
    Refresh(false);
  }
}

void CBitmapStatic::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  if (m_bitmap.IsOk()) {
    dc.DrawBitmap(m_bitmap, 0, 0);
    return;
  }
  // No picture yet: the control shows nothing of its own.
  const wxColour parentColour =
      GetParent() != nullptr ? GetParent()->GetBackgroundColour() : GetBackgroundColour();
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(parentColour));
  dc.DrawRectangle(wxPoint(0, 0), GetClientSize());
}
