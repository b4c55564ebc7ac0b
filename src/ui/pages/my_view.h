// CMyVw: the HTML view of the help page, a wxHtmlWindow created at run time
// from its class name "CMyVw". It shows local pages; Chinese paragraphs wrap
// at the view's width (see ui/common/cjk_breaks.h), and links to web or mail
// addresses open with the system's handler instead of inside the view.
#pragma once

#include <wx/html/htmlwin.h>

class CMyVw : public wxHtmlWindow {
 public:
  CMyVw() = default;

  bool SetPage(const wxString& source) override;

 protected:
  void OnLinkClicked(const wxHtmlLinkInfo& link) override;

 private:
  wxDECLARE_DYNAMIC_CLASS(CMyVw);
};
