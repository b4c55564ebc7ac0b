// CBitmapStatic: a picture compiled into the program (res/<id>_*.bmp), drawn at
// its natural size from the control's top-left corner. The control only fixes
// where the picture starts: it grows to the picture's size, so a picture larger
// than the placeholder covers the parent beyond it. Like a static picture it
// takes no mouse input; moves and clicks go to the parent.
//
// The owner calls LoadDib and Draw from its own paint handling; the control
// repaints itself whenever the system asks it to.
#pragma once

#include <wx/bitmap.h>
#include <wx/window.h>

class CBitmapStatic : public wxWindow {
 public:
  CBitmapStatic() = default;

  bool Create(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize);

  // Loads picture `id`. False, with the previous picture kept, when there is no
  // such picture or it cannot be read. Loading the shown picture again changes
  // nothing.
  bool LoadDib(int id);
  // Shows the loaded picture (nothing while none was ever loaded).
  void Draw();

  bool AcceptsFocus() const override { return false; }

 private:
  void OnPaint(wxPaintEvent& event);

  wxBitmap m_bitmap;
  int m_nDibId = 0;
  bool m_bChanged = false;
};
