// The banner page, the first page the main window shows: a large picture whose
// top strip (the maker's logo and studio name) opens the maker's web site.
#pragma once

#include <wx/panel.h>

#include "ui/controls/bitmap_static.h"
#include "ui/controls/hot_region.h"

class CBannerPage : public wxPanel {
 public:
  enum { IDD = 138, IDC_PICTURE = 1013 };
  static constexpr int kBannerDib = 145;

  // `opener` opens the maker's site; it must outlive the page.
  explicit CBannerPage(CLinkOpener& opener) : m_hotStrip(opener) {}
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMouseMove(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);

  CHotRegion m_hotStrip;
  CBitmapStatic m_picture;
};
