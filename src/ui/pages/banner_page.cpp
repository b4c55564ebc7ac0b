#include "ui/pages/banner_page.h"

#include <wx/dcclient.h>

#include "product/maker.h"
#include "ui/common/template_font.h"

namespace {

// The band of the banner picture that carries the logo and the studio name.
constexpr int kStripRight = 345;
constexpr int kStripBottom = 30;

}  // namespace

bool CBannerPage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE)) return false;
  ApplyTemplateFont(this);
  SetSize(DialogRect(this, 0, 0, 207, 186).GetSize());
  m_picture.Create(this, IDC_PICTURE, DialogRect(this, 0, 0, 13, 13).GetPosition(),
                   DialogRect(this, 0, 0, 13, 13).GetSize());
  m_hotStrip.Init(this, 0, 0, kStripRight, kStripBottom);
  m_hotStrip.EnableHandCursor();
  Bind(wxEVT_PAINT, &CBannerPage::OnPaint, this);
  Bind(wxEVT_MOTION, &CBannerPage::OnMouseMove, this);
  Bind(wxEVT_LEFT_DOWN, &CBannerPage::OnLeftDown, this);
  return true;
}

void CBannerPage::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  m_picture.LoadDib(kBannerDib);
  m_picture.Draw();
}

void CBannerPage::OnMouseMove(wxMouseEvent& event) {
  m_hotStrip.HitTest();
  event.Skip();
}

void CBannerPage::OnLeftDown(wxMouseEvent& event) {
  if (m_hotStrip.HitTest()) m_hotStrip.Open(wxString::FromUTF8(maker::kSiteUrl));
  event.Skip();
}
