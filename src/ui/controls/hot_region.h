// CHotRegion: a rectangle of a window that shows a hand cursor while the
// pointer is inside it and reports whether the pointer is there (the banner's
// strip that opens the maker's web site). The rectangle is measured in pixels
// from the top-left corner of the owner's window rectangle; its left and top
// edges are inside, its right and bottom edges are not.
#pragma once

#include <optional>

#include <wx/cursor.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

class CLinkOpener;
class wxWindow;

class CHotRegion {
 public:
  // `opener` must outlive the region.
  explicit CHotRegion(CLinkOpener& opener) : m_opener(opener) {}

  void Init(wxWindow* owner, int left, int top, int right, int bottom);
  // Shows the hand cursor over the region from now on.
  void EnableHandCursor();
  // Whether the pointer, read now, is inside. Inside, the owner shows the hand
  // (when enabled); outside, the cursor the hand replaced comes back.
  bool HitTest();
  // Opens `url` with the region's opener in a maximised window; the result is
  // ignored.
  void Open(const wxString& url);

  // Whether `point` (relative to the owner's window rectangle) is inside.
  bool Contains(const wxPoint& point) const;

 private:
  CLinkOpener& m_opener;
  wxWindow* m_pOwner = nullptr;
  bool m_bHandEnabled = false;
  wxCursor m_hHand;
  std::optional<wxCursor> m_hPrevious;
  int m_nLeft = 0, m_nTop = 0, m_nRight = 0, m_nBottom = 0;
};
