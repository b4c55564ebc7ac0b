#include "ui/controls/hot_region.h"

#include <wx/utils.h>
#include <wx/window.h>

#include "platform/shell.h"
#include "ui/common/link_opener.h"

void CHotRegion::Init(wxWindow* owner, int left, int top, int right, int bottom) {
  m_pOwner = owner;
  m_nLeft = left;
  m_nTop = top;
  m_nRight = right;
  m_nBottom = bottom;
}

void CHotRegion::EnableHandCursor() {
  m_bHandEnabled = true;
  m_hHand = wxCursor(wxCURSOR_HAND);
}

bool CHotRegion::Contains(const wxPoint& point) const {
  return point.x >= m_nLeft && point.x < m_nRight && point.y >= m_nTop && point.y < m_nBottom;
}

bool CHotRegion::HitTest() {
  if (m_pOwner == nullptr) return false;
  const wxPoint point = wxGetMousePosition() - m_pOwner->GetScreenPosition();
  if (Contains(point)) {
    if (m_bHandEnabled && m_hHand.IsOk() && !m_pOwner->GetCursor().IsSameAs(m_hHand)) {
      m_hPrevious = m_pOwner->GetCursor();
      m_pOwner->SetCursor(m_hHand);
    }
    return true;
  }
  if (m_hPrevious) m_pOwner->SetCursor(*m_hPrevious);
  return false;
}

void CHotRegion::Open(const wxString& url) {
  m_opener.ShellOpen(url, platform::kShowMaximized);
}
