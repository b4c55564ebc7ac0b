// CLinkLabel: a static label whose text colour, background colour, boldness
// and character height are set at run time (the main window's schedule time).
// Every setter returns the label, so calls chain:
//   label.SetBkColor(grey).SetTextColor(red).SetFontBold(true).SetFontSize(14);
// The label takes no mouse input: clicks belong to the window beneath it.
#pragma once

#include "ui/controls/painted_static.h"

class CLinkLabel : public CPaintedStatic {
 public:
  CLinkLabel();
  CLinkLabel(wxWindow* parent, wxWindowID id, const wxString& text,
             const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
             long style = 0);

  bool Create(wxWindow* parent, wxWindowID id, const wxString& text,
              const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
              long style = 0);

  // Sets the text.
  CLinkLabel& SetText(const wxString& text);
  // Sets the text colour and redraws at once.
  CLinkLabel& SetTextColor(const wxColour& colour);
  // Sets the background colour, seen from the next repaint on.
  CLinkLabel& SetBkColor(const wxColour& colour);
  // Weight 700 (true) or 400 (false); rebuilds the font and redraws at once.
  CLinkLabel& SetFontBold(bool bold);
  // A character height of `size` pixels; rebuilds the font and redraws at once.
  CLinkLabel& SetFontSize(int size);

 protected:
  wxColour TextColour() const override { return m_crText; }
  wxColour FillColour() const override { return m_crBk; }
  wxFont TextFont() const override { return m_font; }

 private:
  void RebuildFont();
  void RedrawNow();

  wxColour m_crText;
  wxColour m_crBk;
  // The font's height as a font description holds it: positive for the height
  // of the character cell, negative for the character height (-size).
  int m_nFontHeight = 16;
  int m_nFontWeight;
  wxFont m_font;
};
