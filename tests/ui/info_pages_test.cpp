// The banner, version and help pages in a real frame under Xvfb. Addresses go
// to a stand-in opener that records them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/html/htmlcell.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include "product/maker.h"
#include "support/temp_dir.h"
#include "ui/pages/banner_page.h"
#include "ui/pages/help_page.h"
#include "ui/pages/my_view.h"
#include "ui/pages/version_page.h"
#include "ui/support/fake_link_opener.h"
#include "ui/support/window_testing.h"

namespace {

using Opened = CFakeLinkOpener::COpened;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

class InfoPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Stand-ins of the banner and the portrait, at their real sizes.
    m_pictures.Add(145, "145_banner.bmp", MakeBmp(346, 295, wxColour(90, 120, 200)));
    m_pictures.Add(137, "137_portrait.bmp", MakeBmp(76, 94, wxColour(200, 180, 150)));
    m_frame = new wxFrame(nullptr, wxID_ANY, "pages", wxPoint(40, 40), wxSize(640, 560));
    m_pane = new wxPanel(m_frame);
    ShowAndWait(m_frame);
  }
  void TearDown() override {
    m_frame->Destroy();
    DispatchPending();
  }

  // Makes a page of type P in the pane and waits until it is painted.
  template <typename P>
  P* MakePage() {
    auto* page = new P(m_opener);
    EXPECT_TRUE(page->Create(m_pane));
    page->Refresh();
    DispatchPending();
    return page;
  }

  CFakeLinkOpener m_opener;
  CSafetyTimer m_safety;
  CTestPictures m_pictures;
  wxFrame* m_frame = nullptr;
  wxPanel* m_pane = nullptr;
};

TEST_F(InfoPagesTest, BannerStripOpensTheSiteMaximisedOnlyInsideItsTopLeft345By30Pixels) {
  auto* page = MakePage<CBannerPage>();
  // The banner covers 346 x 295 pixels from the page's corner.
  ASSERT_TRUE(WaitUntil([&] {
    return page->FindWindow(CBannerPage::IDC_PICTURE)->GetRect() == wxRect(0, 0, 346, 295);
  }));

  const struct {
    wxPoint at;
    bool inside;
  } points[] = {
      {{0, 0}, true},    {{344, 29}, true},  {{200, 15}, true},  {{345, 10}, false},
      {{10, 30}, false}, {{345, 30}, false}, {{100, 200}, false},
  };
  for (const auto& p : points) {
    m_opener.m_opened.clear();
    ClickAt(page->GetScreenPosition() + p.at);
    const std::vector<Opened> expected =
        p.inside ? std::vector<Opened>{{maker::kSiteUrl, platform::kShowMaximized, true}}
                 : std::vector<Opened>{};
    EXPECT_EQ(m_opener.m_opened, expected) << p.at.x << "," << p.at.y;
  }
}

TEST_F(InfoPagesTest, BannerShowsTheHandOnlyOverTheStrip) {
  auto* page = MakePage<CBannerPage>();
  const wxCursor before = page->GetCursor();
  MovePointer(page->GetScreenPosition() + wxPoint(100, 10));
  EXPECT_TRUE(page->GetCursor().IsOk());
  EXPECT_FALSE(page->GetCursor().IsSameAs(before));
  const wxCursor hand = page->GetCursor();
  MovePointer(page->GetScreenPosition() + wxPoint(100, 100));
  EXPECT_FALSE(page->GetCursor().IsSameAs(hand));
}

TEST_F(InfoPagesTest, VersionPageLinksShowTheirTextsButOpenTheirTargets) {
  auto* page = MakePage<CVersionPage>();
  const struct {
    int id;
    wxString text;
    wxString target;
  } links[] = {
      {CVersionPage::IDC_MAIL, U(maker::kContactMail), U("mailto:") + U(maker::kContactMail)},
      {CVersionPage::IDC_PRODUCT, U(maker::kProductUrl), U(maker::kProductUrl)},
      {CVersionPage::IDC_SITE, U(maker::kSiteUrl), U(maker::kSiteUrl)},
  };
  for (const auto& link : links) {
    wxWindow* control = page->FindWindow(link.id);
    ASSERT_NE(control, nullptr) << link.id;
    EXPECT_EQ(control->GetLabel(), link.text);
    m_opener.m_opened.clear();
    ClickOn(control);
    EXPECT_EQ(m_opener.m_opened,
              std::vector<Opened>({{link.target, platform::kShowNormal, false}}));
  }

  // The portrait starts at its placeholder, at its natural size, and nothing
  // else overlaps it.
  wxWindow* picture = page->FindWindow(CVersionPage::IDC_PICTURE);
  const wxPoint placeholder = page->ConvertDialogToPixels(wxPoint(160, 8));
  ASSERT_TRUE(WaitUntil([&] { return picture->GetRect() == wxRect(placeholder, wxSize(76, 94)); }))
      << "the portrait is at " << picture->GetRect().x << "," << picture->GetRect().y;
  for (wxWindow* child : page->GetChildren()) {
    if (child == picture) continue;
    EXPECT_FALSE(child->GetRect().Intersects(picture->GetRect())) << child->GetLabel();
  }
}

TEST_F(InfoPagesTest, HelpPageShowsTheDocumentOfItsStartingDirectory) {
  testsupport::CTempDir first, second;
  first.WriteFile("help/index.htm",
                  "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                  "<title>帮助</title></head>"
                  "<body><p>第一份帮助文档</p></body></html>");
  second.WriteFile("help/index.htm", "<html><body><p>second</p></body></html>");

  auto* page = new CHelpPage(m_opener);
  {
    testsupport::CWorkingDirGuard cwd(first.Path());
    ASSERT_TRUE(page->Create(m_pane));
  }
  CMyVw* view = page->View();
  ASSERT_NE(view, nullptr);
  EXPECT_STREQ(view->GetClassInfo()->GetClassName(), L"CMyVw");
  EXPECT_EQ(view->GetId(), CHelpPage::IDC_VIEW);
  // The same file, whichever separators the view keeps (Windows: '/').
  EXPECT_EQ(wxFileName(view->GetOpenedPage()).GetFullPath(),
            wxFileName(wxString((first.Path() / "help" / "index.htm").string())).GetFullPath());
  EXPECT_TRUE(view->ToText().Contains(U("第一份帮助文档")));
  EXPECT_EQ(view->GetOpenedPageTitle(), U("帮助"));
  EXPECT_EQ(view->GetSize(), page->GetClientSize());

  // Another page made elsewhere reads that directory's document.
  testsupport::CWorkingDirGuard cwd(second.Path());
  auto* other = new CHelpPage(m_opener);
  other->Create(m_pane);
  EXPECT_TRUE(other->View()->ToText().Contains("second"));
}

TEST_F(InfoPagesTest, HelpLinksToWebAndMailOpenOutsideAndOthersInsideTheView) {
  testsupport::CTempDir dir;
  dir.WriteFile("help/index.htm",
                "<html><body><p><a href=\"https://www.example.com/x\">web</a></p>"
                "<p><a href=\"MAILTO:a@example.com\">mail</a></p>"
                "<p><a href=\"other.htm\">other</a></p></body></html>");
  dir.WriteFile("help/other.htm", "<html><body><p>the other page</p></body></html>");
  testsupport::CWorkingDirGuard cwd(dir.Path());
  auto* page = new CHelpPage(m_opener);
  ASSERT_TRUE(page->Create(m_pane));
  page->SetSize(400, 300);
  CMyVw* view = page->View();
  for (const char* href : {"https://www.example.com/x", "MAILTO:a@example.com", "other.htm"}) {
    view->OnLinkClicked(wxHtmlLinkInfo(href));
  }
  EXPECT_EQ(m_opener.m_opened,
            std::vector<Opened>({{"https://www.example.com/x", platform::kShowNormal, false},
                                 {"MAILTO:a@example.com", platform::kShowNormal, false}}));
  EXPECT_TRUE(view->ToText().Contains("the other page"));
}

TEST_F(InfoPagesTest, MissingHelpDocumentIsReportedInsideTheView) {
  testsupport::CTempDir empty;
  testsupport::CWorkingDirGuard cwd(empty.Path());
  auto* page = new CHelpPage(m_opener);
  ASSERT_TRUE(page->Create(m_pane));  // no message box: the hook would fail the test
  EXPECT_TRUE(page->View()->ToText().Contains(U("找不到帮助文件")));
}

}  // namespace
