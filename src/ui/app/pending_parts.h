// TEMPORARY: stand-ins for the shared window helpers, status controls and
// information pages until their branch is merged; removed after the merge.
#pragma once

#include <string>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/font.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/string.h>
#include <wx/window.h>

#include "platform/codepage.h"

#if __has_include("ui/controls/link_label.h")
#include "ui/controls/link_label.h"
#else
class CLinkLabel : public wxStaticText {
 public:
  CLinkLabel() = default;
  bool Create(wxWindow* parent, wxWindowID id, const wxString& text, const wxPoint& pos,
              const wxSize& size) {
    return wxStaticText::Create(parent, id, text, pos, size);
  }
  CLinkLabel& SetText(const wxString& text) { SetLabel(text); return *this; }
  CLinkLabel& SetTextColor(const wxColour& c) { SetForegroundColour(c); return *this; }
  CLinkLabel& SetBkColor(const wxColour& c) { SetBackgroundColour(c); return *this; }
  CLinkLabel& SetFontBold(bool) { return *this; }
  CLinkLabel& SetFontSize(int) { return *this; }
};
#endif

#if __has_include("ui/controls/bitmap_static.h")
#include "ui/controls/bitmap_static.h"
#else
class CBitmapStatic : public wxPanel {
 public:
  CBitmapStatic() = default;
  bool Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size) {
    return wxPanel::Create(parent, id, pos, size);
  }
  bool LoadDib(int) { return true; }
  void Draw() {}
};
#endif

#if __has_include("ui/pages/banner_page.h")
#include "ui/pages/banner_page.h"
#include "ui/pages/help_page.h"
#include "ui/pages/version_page.h"
#else
class CPendingInfoPage : public wxPanel {
 public:
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY) {
    return wxPanel::Create(parent, id);
  }
};
class CBannerPage : public CPendingInfoPage {};
class CHelpPage : public CPendingInfoPage {};
class CVersionPage : public CPendingInfoPage {};
#endif
