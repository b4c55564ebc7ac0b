// The banner, version and help pages in a real frame under Xvfb.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include "product/maker.h"
#include "support/fake_shell.h"
#include "support/temp_dir.h"
#include "ui/pages/banner_page.h"
#include "ui/pages/help_page.h"
#include "ui/pages/my_view.h"
#include "ui/pages/version_page.h"
#include "ui/support/window_testing.h"

namespace {

class InfoPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Stand-ins of the banner and the portrait, at their real sizes.
    m_pictures.Add(145, "145_banner.bmp", MakeBmp(346, 295, wxColour(90, 120, 200)));
    m_pictures.Add(137, "137_portrait.bmp", MakeBmp(76, 94, wxColour(200, 180, 150)));
    m_frame = new wxFrame(nullptr, wxID_ANY, "pages", wxPoint(40, 40), wxSize(640, 560));
    m_pane = new wxPanel(m_frame);
    m_frame->Show();
    PumpEvents(200);
  }
  void TearDown() override {
    m_frame->Destroy();
    PumpEvents(50);
  }

  // Moves the real pointer to `offset` from the window's top-left corner.
  static void PointAt(wxWindow* window, const wxPoint& offset) {
    wxUIActionSimulator().MouseMove(window->GetScreenPosition() + offset);
    PumpEvents(80);
  }

  testsupport::CFakeShell m_shell;
  CSafetyTimer m_safety;
  CTestPictures m_pictures;
  wxFrame* m_frame = nullptr;
  wxPanel* m_pane = nullptr;
};

TEST_F(InfoPagesTest, BannerStripCoversTheTopLeft345By30Pixels) {
  auto* page = new CBannerPage;
  ASSERT_TRUE(page->Create(m_pane));
  PumpEvents(200);
  // The banner covers 346 x 295 pixels from the page's corner.
  EXPECT_EQ(page->Picture().GetRect(), wxRect(0, 0, 346, 295));

  const struct {
    wxPoint at;
    bool inside;
  } points[] = {
      {{0, 0}, true},    {{344, 29}, true},  {{200, 15}, true},  {{345, 10}, false},
      {{10, 30}, false}, {{345, 30}, false}, {{100, 200}, false},
  };
  for (const auto& p : points) {
    PointAt(page, p.at);
    EXPECT_EQ(page->HotStrip().HitTest(), p.inside) << p.at.x << "," << p.at.y;
  }
}

TEST_F(InfoPagesTest, BannerShowsTheHandOnlyOverTheStrip) {
  auto* page = new CBannerPage;
  page->Create(m_pane);
  PumpEvents(200);
  const wxCursor before = page->GetCursor();
  PointAt(page, {100, 10});
  EXPECT_TRUE(page->GetCursor().IsOk());
  EXPECT_FALSE(page->GetCursor().IsSameAs(before));
  const wxCursor hand = page->GetCursor();
  PointAt(page, {100, 100});
  EXPECT_FALSE(page->GetCursor().IsSameAs(hand));
}

TEST_F(InfoPagesTest, BannerClickOpensTheSiteOnlyInsideTheStrip) {
  auto* page = new CBannerPage;
  page->Create(m_pane);
  PumpEvents(200);
  wxUIActionSimulator mouse;
  PointAt(page, {120, 31});
  mouse.MouseClick();
  PumpEvents(150);
  EXPECT_TRUE(m_shell.OpenerArgs().empty());

  PointAt(page, {120, 12});
  mouse.MouseClick();
  PumpEvents(150);
  EXPECT_EQ(m_shell.OpenerArgs(), std::vector<std::string>{maker::kSiteUrl});
}

TEST_F(InfoPagesTest, VersionPageLinksShowTheirTextsButOpenTheirTargets) {
  auto* page = new CVersionPage;
  ASSERT_TRUE(page->Create(m_pane));
  PumpEvents(200);
  EXPECT_EQ(page->MailLink().GetLabel(), maker::kContactMail);
  EXPECT_EQ(page->MailLink().GetUrl(), std::string("mailto:") + maker::kContactMail);
  EXPECT_EQ(page->ProductLink().GetUrl(), maker::kProductUrl);
  EXPECT_EQ(page->SiteLink().GetUrl(), maker::kSiteUrl);
  EXPECT_EQ(page->MailLink().GetId(), CVersionPage::IDC_MAIL);

  // The portrait starts at its placeholder, at its natural size.
  const wxPoint placeholder = page->ConvertDialogToPixels(wxPoint(160, 8));
  EXPECT_EQ(page->Picture().GetRect(), wxRect(placeholder, wxSize(76, 94)));
  // Nothing else overlaps the portrait.
  for (wxWindow* child : page->GetChildren()) {
    if (child == &page->Picture()) continue;
    EXPECT_FALSE(child->GetRect().Intersects(page->Picture().GetRect())) << child->GetLabel();
  }

  page->MailLink().Click();
  EXPECT_EQ(m_shell.OpenerArgs(), std::vector<std::string>{"mailto:linyuanzhou@example.com"});
  EXPECT_TRUE(page->MailLink().IsVisited());
}

TEST_F(InfoPagesTest, HelpPageShowsTheDocumentOfItsStartingDirectory) {
  testsupport::CTempDir first, second;
  first.WriteFile("help/index.htm",
                  "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                  "<title>帮助</title></head>"
                  "<body><p>第一份帮助文档</p></body></html>");
  second.WriteFile("help/index.htm", "<html><body><p>second</p></body></html>");

  auto* page = new CHelpPage;
  {
    testsupport::CWorkingDirGuard cwd(first.Path());
    ASSERT_TRUE(page->Create(m_pane));
  }
  CMyVw* view = page->View();
  ASSERT_NE(view, nullptr);
  EXPECT_STREQ(view->GetClassInfo()->GetClassName(), L"CMyVw");
  EXPECT_EQ(view->GetId(), CHelpPage::IDC_VIEW);
  EXPECT_EQ(page->DocumentPath(), (first.Path() / "help" / "index.htm").string());
  EXPECT_TRUE(view->ToText().Contains(wxString::FromUTF8("第一份帮助文档")));
  EXPECT_EQ(view->GetOpenedPageTitle(), wxString::FromUTF8("帮助"));
  EXPECT_EQ(view->GetSize(), page->GetClientSize());

  // Another page made elsewhere reads that directory's document.
  testsupport::CWorkingDirGuard cwd(second.Path());
  auto* other = new CHelpPage;
  other->Create(m_pane);
  EXPECT_TRUE(other->View()->ToText().Contains("second"));
}

TEST_F(InfoPagesTest, MissingHelpDocumentIsReportedInsideTheView) {
  testsupport::CTempDir empty;
  testsupport::CWorkingDirGuard cwd(empty.Path());
  auto* page = new CHelpPage;
  ASSERT_TRUE(page->Create(m_pane));  // no message box: the hook would fail the test
  EXPECT_TRUE(page->View()->ToText().Contains(wxString::FromUTF8("找不到帮助文件")));
}

}  // namespace
