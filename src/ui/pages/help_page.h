// The help page: an HTML view (CMyVw) showing help/index.htm under the
// working directory the page was created in. The view fills the page.
#pragma once

#include <wx/panel.h>

class CLinkOpener;
class CMyVw;

class CHelpPage : public wxPanel {
 public:
  // The view's id: the first pane's id 0xE900 of the original framework lies
  // above wxWidgets' highest window id 32767, so it is taken modulo 0x8000.
  enum { IDD = 143, IDC_VIEW = 0xE900 - 0x8000 };

  // Web and mail links of the document open with `opener`; it must outlive
  // the page.
  explicit CHelpPage(CLinkOpener& opener) : m_opener(opener) {}
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // The view, found among the page's children.
  CMyVw* View() const;

 private:
  void OnSize(wxSizeEvent& event);

  CLinkOpener& m_opener;
};
