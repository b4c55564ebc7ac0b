#include "ui/controls/hyperlink_static.h"

#include <wx/utils.h>

#include "platform/shell.h"
#include "ui/common/link_opener.h"
#include "ui/common/message_box.h"

const wxColour CHyperlinkStatic::kLinkColour(0, 0, 238);
const wxColour CHyperlinkStatic::kVisitedColour(85, 26, 139);

bool CHyperlinkStatic::Create(wxWindow* parent, wxWindowID id, const wxString& text,
                              const wxPoint& pos, const wxSize& size, long style) {
  if (!CPaintedStatic::Create(parent, id, text, pos, size, style)) return false;
  if (m_strUrl.empty()) m_strUrl = text;
  if (GetLabel().empty()) SetLabel(m_strUrl);
  FitToText();
  SetCursor(wxCursor(wxCURSOR_HAND));
  SetToolTip(m_strUrl);
  Bind(wxEVT_LEFT_DOWN, &CHyperlinkStatic::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &CHyperlinkStatic::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CHyperlinkStatic::OnCaptureLost, this);
  return true;
}

void CHyperlinkStatic::SetUrl(const wxString& url) {
  m_strUrl = url;
  if (GetHandle() == nullptr) return;  // Create takes it from here
  FitToText();
  SetToolTip(m_strUrl);
}

void CHyperlinkStatic::SetVisited(bool visited) {
  m_bVisited = visited;
  Refresh();
}

int CHyperlinkStatic::OpenUrl(const wxString& url, int showCommand) {
  return m_opener.OpenUrl(url, showCommand);
}

namespace {

wxString OpenErrorText(int code) {
  using namespace platform;
  wxString reason;
  switch (code) {
    case kShellOutOfResources: reason = "The operating system is out\nof memory or resources."; break;
    case kShellFileNotFound: reason = "The specified file was not found."; break;
    case kShellPathNotFound: reason = "The specified path was not found."; break;
    case kShellAccessDenied:
      reason = "The operating system denied\naccess to the specified file.";
      break;
    case kShellOutOfMemory:
      reason = "There was not enough memory to complete the operation.";
      break;
    case kShellBadFormat:
      reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
      break;
    case kShellSharingViolation: reason = "A sharing violation occurred. "; break;
    case kShellAssociationIncomplete:
      reason = "The filename association is\nincomplete or invalid.";
      break;
    case kShellDdeTimeout:
      reason = "The DDE transaction could not\nbe completed because the request timed out.";
      break;
    case kShellDdeFailed: reason = "The DDE transaction failed."; break;
    case kShellDdeBusy:
      reason =
          "The DDE transaction could not\nbe completed because other DDE transactions\n"
          "were being processed.";
      break;
    case kShellNoAssociation:
      reason = "There is no application associated\nwith the given filename extension.";
      break;
    case kShellDllNotFound: reason = "The specified dynamic-link library was not found."; break;
    default: reason = wxString::Format("Unknown Error (%d) occurred.", code); break;
  }
  return "Unable to open hyperlink:\n\n" + reason;
}

}  // namespace

void CHyperlinkStatic::ShowOpenError(int code) {
  AppMessageBox(OpenErrorText(code), wxOK | wxICON_EXCLAMATION, GetParent());
}

void CHyperlinkStatic::FitToText() {
  if (GetHandle() == nullptr) return;
  wxRect rect = GetRect();
  wxCoord textWidth = 0, textHeight = 0;
  GetTextExtent(GetLabel(), &textWidth, &textHeight);
  const long style = GetWindowStyleFlag();

  if (style & wxALIGN_CENTRE_VERTICAL) {
    const int inset = (rect.height - textHeight) / 2;
    rect.y += inset;
    rect.height -= 2 * inset;
  } else {
    rect.height = textHeight;
  }
  if (style & wxALIGN_CENTRE_HORIZONTAL) {
    const int inset = (rect.width - textWidth) / 2;
    rect.x += inset;
    rect.width -= 2 * inset;
  } else if (style & wxALIGN_RIGHT) {
    rect.x = rect.GetRight() + 1 - textWidth;
    rect.width = textWidth;
  } else {
    rect.width = textWidth;
  }
  SetSize(rect);
}

void CHyperlinkStatic::Click() {
  const int result = OpenUrl(m_strUrl, platform::kShowNormal);
  m_bVisited = platform::IsOpened(result);
  if (m_bVisited) {
    SetVisited(true);
  } else {
    wxBell();
    ShowOpenError(result);
  }
}

wxColour CHyperlinkStatic::TextColour() const {
  return m_bVisited ? kVisitedColour : kLinkColour;
}

wxFont CHyperlinkStatic::TextFont() const {
  if (!m_fontUnderline.IsOk()) {
    m_fontUnderline = GetFont();
    m_fontUnderline.SetUnderlined(true);
  }
  return m_fontUnderline;
}

// The press holds the mouse until its release, wherever that happens, so a
// release outside is seen (and opens nothing) and a press kept from an
// earlier click can never join a later release. GTK holds it by itself;
// Windows sends the release to the window under the pointer unless asked.
void CHyperlinkStatic::OnLeftDown(wxMouseEvent& event) {
  m_bPressed = true;
  if (!HasCapture()) CaptureMouse();
  event.Skip();
}

void CHyperlinkStatic::OnLeftUp(wxMouseEvent& event) {
  event.Skip();
  if (HasCapture()) ReleaseMouse();
  const bool clicked = m_bPressed && GetClientRect().Contains(event.GetPosition());
  m_bPressed = false;
  if (clicked) Click();
}

void CHyperlinkStatic::OnCaptureLost(wxMouseCaptureLostEvent&) { m_bPressed = false; }
