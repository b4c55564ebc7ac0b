#include "ui/pages/version_page.h"

#include <wx/dcclient.h>
#include <wx/stattext.h>

#include "product/maker.h"
#include "ui/common/template_font.h"

namespace {

wxString Utf8(const char* text) { return wxString::FromUTF8(text); }
wxString Utf8(const std::string& text) { return wxString::FromUTF8(text); }

// The template's left margin and line height, in dialog units.
constexpr int kLeft = 30;
constexpr int kLineHeight = 10;

}  // namespace

bool CVersionPage::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE)) return false;
  ApplyTemplateFont(this);
  SetSize(DialogRect(this, 0, 0, 257, 236).GetSize());

  // Plain lines of the template, top to bottom (y in dialog units), spaced so
  // that the last link still lies inside the main window's page pane.
  const struct {
    int y;
    wxString text;
  } lines[] = {
      {10, Utf8("飞鸿信使 1.2版")},
      {26, Utf8(std::string("作者：") + maker::kAuthor)},
      {42, Utf8("日期：2003-11-18")},
      {64, Utf8("如有任何问题请向下列地址发送邮件：")},
      {98, Utf8("飞鸿信使 软件升级网址:")},
      {132, Utf8(maker::kStudio)},
  };
  for (const auto& line : lines) {
    const wxRect rect = DialogRect(this, kLeft, line.y, 200, kLineHeight);
    new wxStaticText(this, wxID_ANY, line.text, rect.GetPosition(), wxDefaultSize);
  }
  const wxRect picture = DialogRect(this, 160, 8, 13, 13);
  m_picture.Create(this, IDC_PICTURE, picture.GetPosition(), picture.GetSize());

  // The links show the template's texts...
  const auto link = [this](CHyperlinkStatic& control, int controlId, int y, const char* text) {
    const wxRect rect = DialogRect(this, kLeft, y, 200, kLineHeight);
    control.Create(this, controlId, Utf8(text), rect.GetPosition(), rect.GetSize());
  };
  link(m_mailLink, IDC_MAIL, 78, maker::kContactMail);
  link(m_productLink, IDC_PRODUCT, 112, maker::kProductUrl);
  link(m_siteLink, IDC_SITE, 146, maker::kSiteUrl);
  // ...and open the targets set here.
  m_mailLink.SetUrl(Utf8(std::string("mailto:") + maker::kContactMail));
  m_productLink.SetUrl(Utf8(maker::kProductUrl));
  m_siteLink.SetUrl(Utf8(maker::kSiteUrl));

  Bind(wxEVT_PAINT, &CVersionPage::OnPaint, this);
  return true;
}

void CVersionPage::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  m_picture.LoadDib(kPortraitDib);
  m_picture.Draw();
}
