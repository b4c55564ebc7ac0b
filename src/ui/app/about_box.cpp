#include "ui/app/about_box.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "product/maker.h"
#include "ui/app/app_icon.h"
#include "ui/app/mailer_dlg.h"

CAboutBox::CAboutBox(wxWindow* parent) {
  Create(parent, wxID_ANY, wxString::FromUTF8("关于 Postwing"), wxDefaultPosition,
         wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  SetFont(MainTemplateFont());
  auto at = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
  auto size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };

  wxIcon icon = AppIcon(32);
  if (icon.IsOk()) new wxStaticBitmap(this, wxID_ANY, icon, at(11, 17));
  auto text = [&](const wxString& label, int y, int w) {
    wxPoint pos = at(53, y);
    wxSize best = wxSize(w, 8);
    auto* t = new wxStaticText(this, wxID_ANY, label, pos, wxDefaultSize);
    wxSize fit = t->GetBestSize();
    wxSize dlu = size(best.x, best.y);
    t->SetSize(std::max(fit.x, dlu.x), std::max(fit.y, dlu.y));
  };
  text(wxString::FromUTF8("飞羽传书 1.0 版"), 10, 107);
  text(wxString::FromUTF8("作者：") + wxString::FromUTF8(maker::kAuthor), 25, 110);
  text(wxString::FromUTF8("日期：2003－11－15"), 40, 110);
  auto* ok = new wxButton(this, wxID_OK, wxString::FromUTF8("确定"), at(178, 7), size(50, 14));
  ok->SetDefault();
  ok->SetFocus();
  // GTK buttons are taller than 14 units; keep the whole button inside.
  wxSize client = size(235, 55);
  client.y = std::max(client.y, ok->GetRect().GetBottom() + at(0, 7).y);
  SetClientSize(client);
  CentreOnParent();
}
