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
    ShowAndWait(m_frame);
  }
  void TearDown() override {
    m_frame->Destroy();
    DispatchPending();
  }

  wxFrame* m_frame = nullptr;
  wxPanel* m_panel = nullptr;
};

TEST_F(LinkLabelTest, StartsOnButtonFaceAtHeightSixteen) {
  CLinkLabel label(m_panel, wxID_ANY, "08:30", wxPoint(10, 10), wxSize(80, 24));
  const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  EXPECT_TRUE(WaitUntil([&] { return CountPixels(GrabClientArea(&label), face) > 80 * 24 / 2; }));
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
  EXPECT_EQ(label->GetFont().GetNumericWeight(), 700);
  const int pixelHeight = label->GetFont().GetPixelSize().y;
  // 14 is the character (em) height, so the whole line is taller than 14.
#ifdef __WXMSW__
  // wxMSW gives the character height itself as the font's pixel size.
  const int lineHeight = label->GetTextExtent("07:05").y;
#else
  const int lineHeight = label->GetFont().GetPixelSize().y;
#endif
  EXPECT_GT(lineHeight, 14);
  // The background, and the stems of the digits.
  EXPECT_TRUE(WaitUntil([&] {
    const wxImage shown = GrabClientArea(label);
    return CountPixels(shown, grey) > 80 * 24 / 2 && CountPixels(shown, red) > 5;
  }));
  label->SetFontBold(false);
  EXPECT_EQ(label->GetFont().GetNumericWeight(), 400);
  EXPECT_NEAR(label->GetFont().GetPixelSize().y, pixelHeight, 1);
}

TEST_F(LinkLabelTest, ClicksBelongToTheWindowBeneath) {
  CLinkLabel label(m_panel, wxID_ANY, "12:00", wxPoint(30, 40), wxSize(80, 24));
  wxPoint received(-1, -1);
  m_panel->Bind(wxEVT_LEFT_DOWN, [&](wxMouseEvent& e) { received = e.GetPosition(); });
  DispatchPending();
  ClickAt(label.ClientToScreen(wxPoint(5, 6)));
  EXPECT_EQ(received, wxPoint(35, 46));
}

}  // namespace
