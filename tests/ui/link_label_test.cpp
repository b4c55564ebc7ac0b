// CLinkLabel in a real frame under Xvfb: its defaults, the chained setters of
// the main window's schedule time, and clicks passing through to the parent.
#include "ui/controls/link_label.h"

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

#include "ui/support/window_testing.h"

namespace {

class LinkLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_frame = new wxFrame(nullptr, wxID_ANY, "label", wxPoint(50, 50), wxSize(400, 200));
    m_panel = new wxPanel(m_frame);
    m_frame->Show();
    PumpEvents(200);
  }
  void TearDown() override { m_frame->Destroy(); PumpEvents(50); }

  wxFrame* m_frame = nullptr;
  wxPanel* m_panel = nullptr;
};

TEST_F(LinkLabelTest, StartsInWindowTextOnButtonFaceAtHeightSixteen) {
  CLinkLabel label(m_panel, wxID_ANY, "08:30", wxPoint(10, 10));
  EXPECT_EQ(label.GetTextColor(), wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
  EXPECT_EQ(label.GetBkColor(), wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  EXPECT_EQ(label.GetFontHeight(), 16);
  // Height 16 is the whole character cell: a line of the font fits in it.
  EXPECT_LE(label.GetTextExtent("Ag").y, 16);
  EXPECT_GE(label.GetTextExtent("Ag").y, 12);
}

TEST_F(LinkLabelTest, ChainedSettersGiveTheScheduleTimeItsLook) {
  auto* label = new CLinkLabel;
  ASSERT_TRUE(label->Create(m_panel, wxID_ANY, "", wxPoint(10, 10), wxSize(80, 24)));
  const wxColour grey(172, 168, 153), red(185, 0, 0);
  label->SetBkColor(grey).SetTextColor(red).SetFontBold(true).SetFontSize(14).SetText("07:05");
  EXPECT_EQ(label->GetLabel(), "07:05");
  EXPECT_EQ(label->GetFontHeight(), -14);
  EXPECT_EQ(label->GetFontWeight(), 700);
  EXPECT_NEAR(label->GetFont().GetPixelSize().y, 14, 1);
  label->SetFontBold(false);
  EXPECT_EQ(label->GetFontWeight(), 400);
  EXPECT_EQ(label->GetFont().GetNumericWeight(), 400);

  PumpEvents(200);
  const wxImage shown = GrabClientArea(label);
  EXPECT_GT(CountPixels(shown, grey), 80 * 24 / 2);  // the background
  EXPECT_GT(CountPixels(shown, red), 5);              // the stems of the digits
}

TEST_F(LinkLabelTest, ClicksBelongToTheWindowBeneath) {
  CLinkLabel label(m_panel, wxID_ANY, "12:00", wxPoint(30, 40), wxSize(80, 24));
  wxPoint received(-1, -1);
  m_panel->Bind(wxEVT_LEFT_DOWN, [&](wxMouseEvent& e) { received = e.GetPosition(); });
  PumpEvents(100);
  wxUIActionSimulator mouse;
  mouse.MouseMove(label.ClientToScreen(wxPoint(5, 6)));
  PumpEvents(50);
  mouse.MouseClick();
  PumpEvents(150);
  EXPECT_EQ(received, wxPoint(35, 46));
}

}  // namespace
