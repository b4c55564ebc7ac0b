// CHyperlinkStatic in a real frame under Xvfb: colours before and after an
// open, the failure message, fitting to the text, and clicks.
#include "ui/controls/hyperlink_static.h"

#include <gtest/gtest.h>

#include <memory>

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include "support/fake_shell.h"
#include "ui/common/message_box.h"
#include "ui/support/window_testing.h"

namespace {

class HyperlinkStaticTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_frame = new wxFrame(nullptr, wxID_ANY, "links", wxPoint(50, 50), wxSize(500, 300));
    m_panel = new wxPanel(m_frame);
    m_frame->Show();
    PumpEvents(200);
  }
  void TearDown() override { m_frame->Destroy(); PumpEvents(50); }

  CHyperlinkStatic* MakeLink(const wxString& text, const wxPoint& pos = wxPoint(20, 20),
                             const wxSize& size = wxSize(300, 40), long style = 0) {
    auto* link = new CHyperlinkStatic;
    link->Create(m_panel, wxID_ANY, text, pos, size, style);
    return link;
  }

  // A real click in the middle of the control.
  void ClickOn(wxWindow* window) {
    wxUIActionSimulator mouse;
    mouse.MouseMove(window->GetScreenRect().GetPosition() + window->GetSize() / 2);
    PumpEvents(50);
    mouse.MouseClick();
    PumpEvents(150);
  }

  testsupport::CFakeShell m_shell;
  CSafetyTimer m_safety;
  wxFrame* m_frame = nullptr;
  wxPanel* m_panel = nullptr;
};

TEST_F(HyperlinkStaticTest, TurnsToTheVisitedColourAfterAnOpenThatSucceeds) {
  CHyperlinkStatic* link = MakeLink("linyuanzhou@example.com");
  link->SetUrl("mailto:linyuanzhou@example.com");
  PumpEvents(200);
  // The underline is drawn in the plain colour, so exact pixels can be counted.
  wxImage before = GrabClientArea(link);
  EXPECT_GT(CountPixels(before, CHyperlinkStatic::kLinkColour), 20);
  EXPECT_EQ(CountPixels(before, CHyperlinkStatic::kVisitedColour), 0);

  ClickOn(link);
  EXPECT_TRUE(link->IsVisited());
  EXPECT_EQ(m_shell.OpenerArgs(), std::vector<std::string>{"mailto:linyuanzhou@example.com"});
  PumpEvents(200);
  wxImage after = GrabClientArea(link);
  EXPECT_GT(CountPixels(after, CHyperlinkStatic::kVisitedColour), 20);
  EXPECT_EQ(CountPixels(after, CHyperlinkStatic::kLinkColour), 0);
}

TEST_F(HyperlinkStaticTest, FailedOpenExplainsItAndClearsTheVisitedState) {
  CHyperlinkStatic* link = MakeLink("https://www.example.com/");
  link->SetVisited(true);
  m_shell.SetOpenerExit(4);  // no handler, and no default browser either

  CapturedMessage message;
  wxTEST_DIALOG(link->Click(), CExpectMessage(&message));
  EXPECT_EQ(message.text,
            "Unable to open hyperlink:\n\n"
            "There is no application associated\nwith the given filename extension.");
  EXPECT_EQ(message.caption, AppCaption());
  EXPECT_TRUE(message.style & wxICON_EXCLAMATION);
  EXPECT_FALSE(link->IsVisited());
}

TEST_F(HyperlinkStaticTest, ErrorTextsKeepTheirExactWording) {
  EXPECT_EQ(CHyperlinkStatic::OpenErrorText(26),
            "Unable to open hyperlink:\n\nA sharing violation occurred. ");
  EXPECT_EQ(CHyperlinkStatic::OpenErrorText(4),
            "Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
  EXPECT_EQ(CHyperlinkStatic::OpenErrorText(0),
            "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
  EXPECT_EQ(CHyperlinkStatic::OpenErrorText(2),
            "Unable to open hyperlink:\n\nThe specified file was not found.");
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
  EXPECT_EQ(plain->GetUrl(), "https://www.example.com/postwing/");
  // Without a text, the target given before creation is shown.
  auto* empty = new CHyperlinkStatic;
  empty->SetUrl("https://www.example.com/");
  empty->Create(m_panel, wxID_ANY, "", wxPoint(20, 100), wxSize(300, 40));
  EXPECT_EQ(empty->GetLabel(), "https://www.example.com/");
  EXPECT_EQ(empty->GetSize(), empty->GetTextExtent("https://www.example.com/"));
  // A text set apart from its target shows the text and tells the target.
  CHyperlinkStatic* mail = MakeLink("linyuanzhou@example.com");
  mail->SetUrl("mailto:linyuanzhou@example.com");
  EXPECT_EQ(mail->GetLabel(), "linyuanzhou@example.com");
  ASSERT_NE(mail->GetToolTip(), nullptr);
  EXPECT_EQ(mail->GetToolTip()->GetTip(), "mailto:linyuanzhou@example.com");
  EXPECT_TRUE(mail->GetCursor().IsOk());
}

}  // namespace
