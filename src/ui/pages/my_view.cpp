#include "ui/pages/my_view.h"

#include <wx/html/htmlcell.h>
#include <wx/html/winpars.h>

#include "platform/shell.h"
#include "ui/common/cjk_breaks.h"
#include "ui/common/link_opener.h"

wxIMPLEMENT_DYNAMIC_CLASS(CMyVw, wxHtmlWindow);

namespace {

// <wbr>: an empty cell before which a line may break. wxHtml keeps words that
// touch without a space together on one line, and never breaks before an
// empty cell of its own; this one says it may.
class CBreakCell : public wxHtmlCell {
 public:
  bool IsLinebreakAllowed() const override { return true; }
};

class CWbrTagHandler : public wxHtmlWinTagHandler {
 public:
  wxString GetSupportedTags() override { return "WBR"; }
  bool HandleTag(const wxHtmlTag&) override {
    m_WParser->GetContainer()->InsertCell(new CBreakCell);
    return false;
  }
};

class CWbrTagsModule : public wxHtmlTagsModule {
 public:
  void FillHandlersTable(wxHtmlWinParser* parser) override {
    parser->AddTagHandler(new CWbrTagHandler);
  }

 private:
  wxDECLARE_DYNAMIC_CLASS(CWbrTagsModule);
};

}  // namespace

wxIMPLEMENT_DYNAMIC_CLASS(CWbrTagsModule, wxHtmlTagsModule);

bool CMyVw::SetPage(const wxString& source) {
  return wxHtmlWindow::SetPage(InsertCjkBreaks(source));
}

void CMyVw::OnLinkClicked(const wxHtmlLinkInfo& link) {
  const wxString href = link.GetHref();
  const wxString scheme = href.BeforeFirst(':').Lower();
  if (href.Contains(":") && (scheme == "http" || scheme == "https" || scheme == "mailto")) {
    if (m_pOpener != nullptr) m_pOpener->OpenUrl(href, platform::kShowNormal);
    return;
  }
  wxHtmlWindow::OnLinkClicked(link);
}
