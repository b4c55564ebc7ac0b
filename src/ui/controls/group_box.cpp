#include "ui/controls/group_box.h"

#include <wx/statbox.h>
#include <wx/window.h>

#include "ui/controls/painted_static.h"

CGroupBox::CGroupBox(wxWindow* parent, const wxString& caption, const wxRect& rect) {
  // The frame first, so that the caption lies on top of it. Like a group
  // box's, its top line runs half a text line below its top edge, through
  // the middle of the caption.
  m_pFrame = new wxStaticBox(parent, wxID_ANY, wxEmptyString, rect.GetPosition(), rect.GetSize());
  if (caption.empty()) return;
  // A blank on either side of the words, as the line stops short of them.
  m_pCaption = new CPaintedStatic;
  m_pCaption->Create(parent, wxID_ANY, " " + caption + " ",
                     wxPoint(rect.x + kCaptionIndent, rect.y), wxDefaultSize, 0);
  m_pCaption->SetSize(m_pCaption->GetBestSize());
}

wxRect CGroupBox::Rect() const { return m_pFrame->GetRect(); }

void CGroupBox::SetRight(int right) {
  wxRect frame = m_pFrame->GetRect();
  frame.SetRight(right);
  m_pFrame->SetSize(frame);
}
