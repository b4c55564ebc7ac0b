#include "ui/common/mouse_passthrough.h"

#include <wx/window.h>

namespace {

void Forward(wxWindow* window, wxMouseEvent& event) {
  wxWindow* parent = window->GetParent();
  if (parent == nullptr) {
    event.Skip();
    return;
  }
  wxMouseEvent copy(event);
  const wxPoint offset = window->GetPosition();
  copy.m_x += offset.x;
  copy.m_y += offset.y;
  copy.SetEventObject(parent);
  copy.SetId(parent->GetId());
  parent->GetEventHandler()->ProcessEvent(copy);
  // The parent may have changed its cursor for this point (a hot region).
  window->SetCursor(parent->GetCursor());
}

}  // namespace

void PassMouseToParent(wxWindow* window) {
  static const wxEventTypeTag<wxMouseEvent> kTypes[] = {
      wxEVT_MOTION,    wxEVT_LEFT_DOWN,   wxEVT_LEFT_UP,     wxEVT_LEFT_DCLICK,
      wxEVT_RIGHT_DOWN, wxEVT_RIGHT_UP,   wxEVT_MIDDLE_DOWN, wxEVT_MIDDLE_UP,
  };
  for (const auto& type : kTypes) {
    window->Bind(type, [window](wxMouseEvent& event) { Forward(window, event); });
  }
}
