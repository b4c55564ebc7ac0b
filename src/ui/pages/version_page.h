// The version page: product name and version, author, date, a portrait, and
// three links (the author's mail address, the product page, the maker's site).
// Each link shows its own text; the target it opens is set apart from it.
#pragma once

#include <wx/panel.h>

#include "ui/controls/bitmap_static.h"
#include "ui/controls/hyperlink_static.h"

class CVersionPage : public wxPanel {
 public:
  enum { IDD = 134, IDC_PICTURE = 1012, IDC_MAIL = 1011, IDC_PRODUCT = 1013, IDC_SITE = 1014 };
  static constexpr int kPortraitDib = 137;

  // The links open their targets with `opener`; it must outlive the page.
  explicit CVersionPage(CLinkOpener& opener)
      : m_mailLink(opener), m_productLink(opener), m_siteLink(opener) {}
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

 private:
  void OnPaint(wxPaintEvent& event);

  CBitmapStatic m_picture;
  CHyperlinkStatic m_mailLink;
  CHyperlinkStatic m_productLink;
  CHyperlinkStatic m_siteLink;
};
