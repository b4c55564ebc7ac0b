// CBitmapStatic under Xvfb with pictures made by the test, and the pictures the
// program ships when they are compiled in.
#include "ui/controls/bitmap_static.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/panel.h>

#include "ui/common/resources.h"
#include "ui/controls/embedded_resources.h"
#include "ui/support/window_testing.h"

namespace {

const wxColour kRed(200, 30, 30), kGreen(30, 160, 60);

class BitmapStaticTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pictures.Add(501, "501_big.bmp", MakeBmp(120, 90, kRed));
    m_pictures.Add(502, "502_small.bmp", MakeBmp(26, 34, kGreen));
    m_pictures.Add(503, "503_broken.bmp", "BM not really a picture");
    m_pictures.Add(504, "504_icon.png", MakeBmp(26, 34, kGreen));

    m_frame = new wxFrame(nullptr, wxID_ANY, "picture", wxPoint(50, 50), wxSize(400, 300));
    m_panel = new wxPanel(m_frame);
    ShowAndWait(m_frame);
  }
  void TearDown() override {
    m_frame->Destroy();
    DispatchPending();
  }
  // Waits until `picture` shows exactly `count` pixels of `colour`.
  static bool ShowsPixels(wxWindow* picture, const wxColour& colour, int count) {
    return WaitUntil([&] { return CountPixels(GrabClientArea(picture), colour) == count; });
  }

  CTestPictures m_pictures;
  wxFrame* m_frame = nullptr;
  wxPanel* m_panel = nullptr;
};

TEST_F(BitmapStaticTest, DrawsAtNaturalSizeBeyondItsPlaceholder) {
  auto* picture = new CBitmapStatic;
  picture->Create(m_panel, 1013, wxPoint(10, 10), wxSize(20, 20));
  picture->Draw();  // nothing loaded: nothing changes
  EXPECT_EQ(picture->GetSize(), wxSize(20, 20));

  ASSERT_TRUE(picture->LoadDib(501));
  picture->Draw();
  EXPECT_EQ(picture->GetRect(), wxRect(10, 10, 120, 90));
  EXPECT_TRUE(ShowsPixels(picture, kRed, 120 * 90));
}

TEST_F(BitmapStaticTest, FailedLoadsKeepThePreviousPicture) {
  auto* picture = new CBitmapStatic;
  picture->Create(m_panel, 1020, wxPoint(10, 10), wxSize(20, 20));
  EXPECT_FALSE(picture->LoadDib(999));  // no such number
  picture->Draw();
  EXPECT_EQ(picture->GetSize(), wxSize(20, 20));  // still nothing to show

  ASSERT_TRUE(picture->LoadDib(502));
  EXPECT_FALSE(picture->LoadDib(999));
  EXPECT_FALSE(picture->LoadDib(503));  // not a readable picture
  EXPECT_FALSE(picture->LoadDib(504));  // only .bmp pictures count
  picture->Draw();
  EXPECT_EQ(picture->GetSize(), wxSize(26, 34));
  EXPECT_TRUE(ShowsPixels(picture, kGreen, 26 * 34));
}

TEST_F(BitmapStaticTest, SwitchingPicturesRepaints) {
  auto* picture = new CBitmapStatic;
  picture->Create(m_panel, 1020, wxPoint(10, 10), wxSize(20, 20));
  picture->LoadDib(502);
  picture->Draw();
  ASSERT_TRUE(ShowsPixels(picture, kGreen, 26 * 34));
  picture->LoadDib(501);
  picture->Draw();
  EXPECT_TRUE(ShowsPixels(picture, kRed, 120 * 90));
}

// The pictures of res/, once they are compiled in.
TEST(ShippedPictures, HaveTheirSizes) {
  if (FindEmbeddedResource(145, ".bmp") == nullptr) GTEST_SKIP() << "res/ holds no pictures yet";
  const struct {
    int id, width, height;
  } pictures[] = {{137, 76, 94}, {145, 346, 295}, {148, 26, 34}, {149, 26, 34}};
  for (const auto& p : pictures) {
    const EmbeddedResource* resource = FindEmbeddedResource(p.id, ".bmp");
    ASSERT_NE(resource, nullptr) << p.id;
    const wxImage image = LoadResourceImage(*resource);
    ASSERT_TRUE(image.IsOk()) << p.id;
    EXPECT_EQ(image.GetSize(), wxSize(p.width, p.height)) << p.id;
  }
  const wxImage blank = LoadResourceImage(*FindEmbeddedResource(149, ".bmp"));
  EXPECT_EQ(wxColour(blank.GetRed(13, 17), blank.GetGreen(13, 17), blank.GetBlue(13, 17)),
            wxColour(172, 168, 153));
  EXPECT_TRUE(LoadIconResource(128).GetIcon(32).IsOk());
}

}  // namespace
