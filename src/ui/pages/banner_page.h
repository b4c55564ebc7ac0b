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

  CBannerPage() = default;
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  CHotRegion& HotStrip() { return m_hotStrip; }
  CBitmapStatic& Picture() { return m_picture; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMouseMove(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);

  CHotRegion m_hotStrip;
  CBitmapStatic m_picture;
};
