#include "ui/pages/help_page.h"

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "ui/common/template_font.h"
#include "ui/pages/my_view.h"

bool CHelpPage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE)) return false;
  ApplyTemplateFont(this);
  SetSize(DialogRect(this, 0, 0, 187, 122).GetSize());

  auto* view = wxDynamicCast(wxCreateDynamicObject("CMyVw"), CMyVw);
  if (view == nullptr) return false;
  view->Create(this, IDC_VIEW, wxPoint(0, 0), GetClientSize(),
               wxHW_SCROLLBAR_AUTO | wxBORDER_SUNKEN);
  view->SetOpener(&m_opener);
  view->Show();

  const wxString document = wxGetCwd() + wxFileName::GetPathSeparator() + "help" +
                  wxFileName::GetPathSeparator() + "index.htm";
  bool loaded = false;
  {
    wxLogNull quiet;  // a missing document is shown in the view, not in a box
    loaded = view->LoadPage(document);
  }
  if (!loaded) {
    wxString path = document;
    path.Replace("&", "&amp;");
    path.Replace("<", "&lt;");
    view->SetPage("<html><body><p>" + wxString::FromUTF8("找不到帮助文件：") + path +
                  "</p></body></html>");
  }
  Bind(wxEVT_SIZE, &CHelpPage::OnSize, this);
  return true;
}

CMyVw* CHelpPage::View() const { return wxDynamicCast(FindWindow(IDC_VIEW), CMyVw); }

void CHelpPage::OnSize(wxSizeEvent& event) {
  if (CMyVw* view = View()) view->SetSize(GetClientSize());
  event.Skip();
}
