// A static text that draws itself, the common part of CLinkLabel and
// CHyperlinkStatic. A native static text on GTK has no window of its own, so it
// can neither take clicks nor show a cursor, and its colours are the theme's;
// this one draws its text in colours and a font its subclass chooses.
//
// Styles: wxALIGN_LEFT (default), wxALIGN_CENTRE_HORIZONTAL or wxALIGN_RIGHT
// place the text across; wxALIGN_CENTRE_VERTICAL centres it vertically
// (otherwise it sits at the top).
#pragma once

#include <wx/control.h>

class CPaintedStatic : public wxControl {
 public:
  CPaintedStatic() = default;

  bool Create(wxWindow* parent, wxWindowID id, const wxString& text, const wxPoint& pos,
              const wxSize& size, long style);

  void SetLabel(const wxString& label) override;
  bool AcceptsFocus() const override { return false; }

 protected:
  // What the next paint uses; the defaults are the parent's background, the
  // window-text colour and the control's font.
  virtual wxColour TextColour() const;
  virtual wxColour FillColour() const;
  virtual wxFont TextFont() const { return GetFont(); }

  wxSize DoGetBestClientSize() const override;

 private:
  void OnPaint(wxPaintEvent& event);
};
