// CHyperlinkStatic in a real frame under Xvfb: colours before and after an
// open, the failure messages, fitting to the text, and clicks. Addresses go to
// a stand-in opener, which answers with the result a test chooses.
#include "ui/controls/hyperlink_static.h"

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include "ui/common/message_box.h"
#include "ui/support/fake_link_opener.h"
#include "ui/support/window_testing.h"

namespace {

using Opened = CFakeLinkOpener::COpened;

class HyperlinkStaticTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_frame = new wxFrame(nullptr, wxID_ANY, "links", wxPoint(50, 50), wxSize(500, 300));
    m_panel = new wxPanel(m_frame);
    ShowAndWait(m_frame);
  }
  void TearDown() override {
    m_frame->Destroy();
    DispatchPending();
  }

  CHyperlinkStatic* MakeLink(const wxString& text, const wxPoint& pos = wxPoint(20, 20),
                             const wxSize& size = wxSize(300, 40), long style = 0) {
    auto* link = new CHyperlinkStatic(m_opener);
    link->Create(m_panel, wxID_ANY, text, pos, size, style);
    return link;
  }

  // Waits until the control shows at least 20 pixels of `colour`.
  static bool Shows(wxWindow* link, const wxColour& colour) {
    return WaitUntil([&] { return CountPixels(GrabClientArea(link), colour) > 20; });
  }

  CFakeLinkOpener m_opener;
  CSafetyTimer m_safety;
  wxFrame* m_frame = nullptr;
  wxPanel* m_panel = nullptr;
};

TEST_F(HyperlinkStaticTest, AClickOpensTheTargetAndTurnsTheTextToTheVisitedColour) {
  CHyperlinkStatic* link = MakeLink("linyuanzhou@example.com");
  link->SetUrl("mailto:linyuanzhou@example.com");
  // The underline is drawn in the plain colour, so exact pixels can be counted.
  ASSERT_TRUE(Shows(link, CHyperlinkStatic::kLinkColour));
  EXPECT_EQ(CountPixels(GrabClientArea(link), CHyperlinkStatic::kVisitedColour), 0);

  ClickOn(link);
  EXPECT_EQ(m_opener.m_opened,
            std::vector<Opened>({{"mailto:linyuanzhou@example.com", platform::kShowNormal, false}}));
  EXPECT_TRUE(Shows(link, CHyperlinkStatic::kVisitedColour));
  EXPECT_EQ(CountPixels(GrabClientArea(link), CHyperlinkStatic::kLinkColour), 0);
}

TEST_F(HyperlinkStaticTest, APressThatEndsOutsideOpensNothing) {
  CHyperlinkStatic* link = MakeLink("https://www.example.com/");
  const wxRect r = link->GetScreenRect();
  MovePointer(wxPoint(r.x + 5, r.y + r.height / 2));
  wxUIActionSimulator mouse;
  mouse.MouseDown();
  MovePointer(wxPoint(r.GetRight() + 40, r.y + r.height / 2));
  mouse.MouseUp();
  ClickOn(m_panel);  // a later click elsewhere: the release above has been seen
  EXPECT_TRUE(m_opener.m_opened.empty());

  // Nor is that press kept for a release on the link after a press elsewhere.
  const wxPoint onLink(r.x + 5, r.y + r.height / 2);
  mouse.MouseDown();
  mouse.MouseMove(onLink);
  EXPECT_TRUE(WaitUntil([&] { return wxGetMousePosition() == onLink; }));
  mouse.MouseUp();
  ClickOn(m_panel);
  EXPECT_TRUE(m_opener.m_opened.empty());
}

TEST_F(HyperlinkStaticTest, AFailedOpenExplainsItselfAndClearsTheVisitedState) {
  const struct {
    int code;
    const char* reason;
  } cases[] = {
      {platform::kShellNoAssociation,
       "There is no application associated\nwith the given filename extension."},
      {platform::kShellSharingViolation, "A sharing violation occurred. "},
      {platform::kShellOutOfResources, "The operating system is out\nof memory or resources."},
      {platform::kShellFileNotFound, "The specified file was not found."},
      {4, "Unknown Error (4) occurred."},
  };
  CHyperlinkStatic* link = MakeLink("https://www.example.com/");
  for (const auto& c : cases) {
    link->SetVisited(true);
    m_opener.m_nResult = c.code;
    CapturedMessage message;
    wxTEST_DIALOG(link->Click(), CExpectMessage(&message));
    EXPECT_EQ(message.text, wxString("Unable to open hyperlink:\n\n") + c.reason) << c.code;
    EXPECT_EQ(message.caption, AppCaption());
    EXPECT_TRUE(message.style & wxICON_EXCLAMATION);
  }
  // Unvisited again: the link colour, not the visited one.
  EXPECT_TRUE(Shows(link, CHyperlinkStatic::kLinkColour));
  EXPECT_EQ(CountPixels(GrabClientArea(link), CHyperlinkStatic::kVisitedColour), 0);
}

TEST_F(HyperlinkStaticTest, FitsToTheTextKeepingItsAlignment) {
  const wxPoint pos(40, 30);
  const wxSize box(301, 41);
  CHyperlinkStatic* left = MakeLink("www.example.com", pos, box);
  CHyperlinkStatic* centred = MakeLink("www.example.com", pos, box, wxALIGN_CENTRE_HORIZONTAL);
  CHyperlinkStatic* right = MakeLink("www.example.com", pos, box, wxALIGN_RIGHT);
  CHyperlinkStatic* middle = MakeLink("www.example.com", pos, box, wxALIGN_CENTRE_VERTICAL);
  const wxSize text = left->GetTextExtent("www.example.com");
  ASSERT_GT(text.x, 20);

  EXPECT_EQ(left->GetRect(), wxRect(pos, text));
  const int inset = (box.x - text.x) / 2;
  EXPECT_EQ(centred->GetRect(),
            wxRect(pos.x + inset, pos.y, box.x - 2 * inset, text.y));
  EXPECT_EQ(right->GetRect(), wxRect(pos.x + box.x - text.x, pos.y, text.x, text.y));
  const int vinset = (box.y - text.y) / 2;
  EXPECT_EQ(middle->GetRect(), wxRect(pos.x, pos.y + vinset, text.x, box.y - 2 * vinset));

  // A new target refits the control to its (unchanged) text.
  left->SetSize(wxSize(400, 60));
  left->SetUrl("https://www.example.com/");
  EXPECT_EQ(left->GetRect(), wxRect(pos, text));
}

TEST_F(HyperlinkStaticTest, TextAndTargetStandInForEachOther) {
  // Without a target, the text is opened.
  CHyperlinkStatic* plain = MakeLink("https://www.example.com/postwing/");
  plain->Click();
  // Without a text, the target given before creation is shown.
  auto* empty = new CHyperlinkStatic(m_opener);
  empty->SetUrl("https://www.example.com/");
  empty->Create(m_panel, wxID_ANY, "", wxPoint(20, 100), wxSize(300, 40));
  EXPECT_EQ(empty->GetLabel(), "https://www.example.com/");
  EXPECT_EQ(empty->GetSize(), empty->GetTextExtent("https://www.example.com/"));
  // A text set apart from its target shows the text, tells the target and
  // opens it.
  CHyperlinkStatic* mail = MakeLink("linyuanzhou@example.com");
  mail->SetUrl("mailto:linyuanzhou@example.com");
  EXPECT_EQ(mail->GetLabel(), "linyuanzhou@example.com");
  ASSERT_NE(mail->GetToolTip(), nullptr);
  EXPECT_EQ(mail->GetToolTip()->GetTip(), "mailto:linyuanzhou@example.com");
  EXPECT_TRUE(mail->GetCursor().IsOk());
  mail->Click();
  EXPECT_EQ(m_opener.m_opened,
            std::vector<Opened>({{"https://www.example.com/postwing/", platform::kShowNormal, false},
                                 {"mailto:linyuanzhou@example.com", platform::kShowNormal, false}}));
}

}  // namespace
