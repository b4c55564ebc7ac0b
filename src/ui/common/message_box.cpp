#include "ui/common/message_box.h"

#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>
#include <wx/stdpaths.h>

wxString AppCaption() {
  return wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetName();
}

int AppMessageBox(const wxString& text, long style, wxWindow* parent) {
  wxGenericMessageDialog box(parent, text, AppCaption(), style);
  const wxString ok = wxString::FromUTF8("确定");
  const wxString cancel = wxString::FromUTF8("取消");
  if (style & wxYES_NO) {
    box.SetYesNoCancelLabels(wxString::FromUTF8("是"), wxString::FromUTF8("否"), cancel);
  } else {
    box.SetOKCancelLabels(ok, cancel);
  }
  switch (box.ShowModal()) {
    case wxID_YES:
      return wxYES;
    case wxID_NO:
      return wxNO;
    case wxID_CANCEL:
      return wxCANCEL;
    default:
      return wxOK;
  }
}
