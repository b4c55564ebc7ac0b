// CHyperlinkStatic: a static text that is a link. Its text is drawn underlined
// in the link colour on the parent's background, the pointer becomes a hand
// over it, a tooltip shows the target, and a click opens the target (a web or
// mailto address) with the opener the control was given. After a successful
// open the text turns to the visited colour; a failed open beeps and explains
// why.
//
// The target defaults to the text and the text to the target; SetUrl sets a
// target apart from the text. The control fits itself to its text (keeping its
// left, right or centre according to wxALIGN_LEFT / wxALIGN_RIGHT /
// wxALIGN_CENTRE_HORIZONTAL, and its top or, with wxALIGN_CENTRE_VERTICAL,
// its middle).
#pragma once

#include "ui/controls/painted_static.h"

class CLinkOpener;

class CHyperlinkStatic : public CPaintedStatic {
 public:
  // `opener` must outlive the control.
  explicit CHyperlinkStatic(CLinkOpener& opener) : m_opener(opener) {}

  bool Create(wxWindow* parent, wxWindowID id, const wxString& text,
              const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
              long style = 0);

  // Sets the target, fits the control to its text and shows the target as the
  // tooltip.
  void SetUrl(const wxString& url);

  // Draws the text in the visited (true) or link colour from now on.
  void SetVisited(bool visited);

  // Opens `url`; a platform::ShellResult (platform::IsOpened tells success).
  int OpenUrl(const wxString& url, int showCommand);
  // Tells the user in a message box why an open failed.
  void ShowOpenError(int code);

  // Resizes the control to its text (see the class comment).
  void FitToText();

  // What a click does: open the target, then show it as visited or explain
  // the failure.
  void Click();

  static const wxColour kLinkColour;     // RGB(0, 0, 238)
  static const wxColour kVisitedColour;  // RGB(85, 26, 139)

 protected:
  wxColour TextColour() const override;
  wxFont TextFont() const override;

 private:
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);

  CLinkOpener& m_opener;
  bool m_bVisited = false;
  wxString m_strUrl;
  // Made once from the control's font, at the first paint.
  mutable wxFont m_fontUnderline;
  bool m_bPressed = false;
};
