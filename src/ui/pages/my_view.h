// CMyVw: the HTML view of the help page, a wxHtmlWindow created at run time
// from its class name "CMyVw". It shows local pages; Chinese paragraphs wrap
// at the view's width (see ui/common/cjk_breaks.h), and links to web or mail
// addresses open with the opener the page gives it (SetOpener) instead of
// inside the view.
#pragma once

#include <wx/html/htmlwin.h>

class CLinkOpener;

class CMyVw : public wxHtmlWindow {
 public:
  CMyVw() = default;

  bool SetPage(const wxString& source) override;
  // What opens web and mail links (must outlive the view); without one they
  // are not followed.
  void SetOpener(CLinkOpener* opener) { m_pOpener = opener; }

  void OnLinkClicked(const wxHtmlLinkInfo& link) override;

 private:
  CLinkOpener* m_pOpener = nullptr;

  wxDECLARE_DYNAMIC_CLASS(CMyVw);
};
