// CGroupBox: a frame around a group of controls with its caption on the top
// line, a little in from the left corner, the line broken behind the text.
// GTK's own frame puts the caption at the very corner; here the frame is a
// captionless wxStaticBox (its top line half a text line below its top, as a
// group box's), and the caption a painted label in the page's colour laid
// over that line.
#pragma once

#include <wx/gdicmn.h>
#include <wx/string.h>

class CPaintedStatic;
class wxStaticBox;
class wxWindow;

class CGroupBox {
 public:
  // From the caption's left end to the frame's left edge.
  static constexpr int kCaptionIndent = 8;

  // Creates the frame and its caption in `parent`. `rect` is the group's
  // whole area, the caption included, as a group box's template rectangle
  // is: the caption's top is the rectangle's top.
  CGroupBox(wxWindow* parent, const wxString& caption, const wxRect& rect);

  wxStaticBox* Frame() const { return m_pFrame; }
  // Null for a group without caption.
  CPaintedStatic* Caption() const { return m_pCaption; }
  // The whole area, caption included (the frame's rectangle).
  wxRect Rect() const;
  // Moves the right edge of the whole group to `right`.
  void SetRight(int right);

 private:
  wxStaticBox* m_pFrame = nullptr;
  CPaintedStatic* m_pCaption = nullptr;
};
