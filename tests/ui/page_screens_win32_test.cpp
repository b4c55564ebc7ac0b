// Every page of the main window as the screen shows it under Windows: the pane
// is not blank, and the Chinese labels are drawn as glyphs that differ from
// one another. Without a font for them every character is the same box.
// With POSTWING_SCREENSHOT_DIR set, the pictures are kept there as PNG files.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filename.h>
#include <wx/stattext.h>
#include <wx/treectrl.h>

#include "ui/support/main_window_fixture.h"
#include "ui/support/window_testing.h"

namespace uitest {
namespace {

bool IsCjk(wxUniChar c) { return c.GetValue() >= 0x4E00 && c.GetValue() <= 0x9FFF; }

// Labels made of Chinese characters only, at least two different ones.
bool IsChineseLabel(const wxString& label) {
  std::set<wxUniChar::value_type> distinct;
  for (wxUniChar c : label) {
    if (!IsCjk(c)) return false;
    distinct.insert(c.GetValue());
  }
  return distinct.size() >= 2;
}

// The most frequent colour of `image`.
wxColour Background(const wxImage& image) {
  std::map<unsigned long, int> counts;
  const unsigned char* p = image.GetData();
  for (int i = 0; i < image.GetWidth() * image.GetHeight(); ++i, p += 3) {
    ++counts[(p[0] << 16) | (p[1] << 8) | p[2]];
  }
  unsigned long best = 0;
  int bestCount = -1;
  for (const auto& [rgb, n] : counts) {
    if (n > bestCount) best = rgb, bestCount = n;
  }
  return wxColour((best >> 16) & 0xFF, (best >> 8) & 0xFF, best & 0xFF);
}

// Pixels that stand out from the background: the ink of text and lines.
std::vector<std::vector<bool>> Ink(const wxImage& image) {
  const wxColour bg = Background(image);
  std::vector<std::vector<bool>> ink(image.GetHeight(), std::vector<bool>(image.GetWidth()));
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) {
      const int d = std::abs(image.GetRed(x, y) - bg.Red()) +
                    std::abs(image.GetGreen(x, y) - bg.Green()) +
                    std::abs(image.GetBlue(x, y) - bg.Blue());
      ink[y][x] = d > 96;
    }
  }
  return ink;
}

// How many different shapes the runs of inked columns of `image` have (a
// run: columns with ink between blank columns, about one glyph).
int DistinctGlyphs(const wxImage& image) {
  const auto ink = Ink(image);
  const int w = image.GetWidth();
  const int h = image.GetHeight();
  auto columnInked = [&](int x) {
    for (int y = 0; y < h; ++y) {
      if (ink[y][x]) return true;
    }
    return false;
  };
  std::set<std::string> shapes;
  for (int x = 0; x < w;) {
    if (!columnInked(x)) {
      ++x;
      continue;
    }
    int end = x;
    while (end < w && columnInked(end)) ++end;
    std::string shape = std::to_string(end - x) + ":";
    int top = h, bottom = -1;
    for (int y = 0; y < h; ++y) {
      for (int c = x; c < end; ++c) {
        if (ink[y][c]) top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
    for (int y = top; y <= bottom; ++y) {
      for (int c = x; c < end; ++c) shape += ink[y][c] ? '#' : '.';
      shape += '/';
    }
    if (end - x >= 2) shapes.insert(shape);
    x = end;
  }
  return static_cast<int>(shapes.size());
}

int InkCount(const wxImage& image) {
  int n = 0;
  for (const auto& row : Ink(image)) {
    for (bool b : row) n += b;
  }
  return n;
}

// The part of the window picture `shot` that shows `r` (screen coordinates).
wxImage Part(const wxImage& shot, wxWindow* top, wxRect r) {
  r.SetPosition(top->ScreenToClient(r.GetPosition()));
  r.Intersect(wxRect(0, 0, shot.GetWidth(), shot.GetHeight()));
  return shot.GetSubImage(r);
}

// The part showing a control's label: a button's frame left out.
wxImage LabelPart(const wxImage& shot, wxWindow* top, wxWindow* control) {
  wxRect r = control->GetScreenRect();
  if (wxDynamicCast(control, wxButton)) r.Deflate(4);
  return Part(shot, top, r);
}

void CollectLabelled(wxWindow* window, std::vector<wxWindow*>* out) {
  for (wxWindow* child : window->GetChildren()) {
    if (!child->IsShownOnScreen()) continue;
    const bool labelled = wxDynamicCast(child, wxStaticText) || wxDynamicCast(child, wxButton) ||
                          wxDynamicCast(child, wxCheckBox);
    if (labelled && IsChineseLabel(child->GetLabel())) out->push_back(child);
    CollectLabelled(child, out);
  }
}

using PageScreens = CMainWindowTest;

// The width of the native tree's focus rectangle.
constexpr int kFocusFrame = 1;

TEST_F(PageScreens, EveryPageShowsItsChineseText) {
  WriteSettings(
      "[smtp]\r\nsmtp=smtp.example.com\r\nMail=from@example.com\r\n"
      "[maildir]\r\nmaildir=mail\r\naddress=address.txt\r\nmailsubject=Hi\r\n"
      "[timer]\r\nhour=8\r\nminute=5\r\ntimer=1\r\n");
  WriteRunInputs();
  m_dir.WriteFile("运行报告.txt", "2003-11-08 08:05:20,1,1,0,smtp.example.com\r\n");
  std::filesystem::create_directories(m_dir.Path() / "help");
  m_dir.WriteFile("help/index.htm",
                  "<html><body><h3>帮助说明</h3><p>飞鸿信使把邮件发给地址表里的每个地址。</p>"
                  "</body></html>");
  Open();
  const char* dir = std::getenv("POSTWING_SCREENSHOT_DIR");
  if (dir != nullptr) wxFileName::Mkdir(wxString::FromUTF8(dir), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);

  struct Page {
    const char* label;
    const char* file;
  };
  const Page pages[] = {{"选项", "1-banner"},    {"SMTP设置", "2-smtp"},  {"目录设置", "3-source"},
                        {"声音设置", "4-sound"}, {"定时设置", "5-timer"}, {"运行报告", "6-report"},
                        {"帮助说明", "7-help"},  {"版本说明", "8-version"}};
  for (const Page& page : pages) {
    SCOPED_TRACE(page.file);
    Choose(page.label);
    DispatchPending();
    const wxImage shot = GrabClientArea(m_dlg);
    ASSERT_TRUE(shot.IsOk());
    if (dir != nullptr) {
      shot.SaveFile(wxString::FromUTF8(dir) + "/" + page.file + ".png", wxBITMAP_TYPE_PNG);
    }
    const wxRect paneRect = m_dlg->PageRect().Intersect(wxRect(0, 0, shot.GetWidth(), shot.GetHeight()));
    const wxImage pane = shot.GetSubImage(paneRect);
    EXPECT_GT(InkCount(pane), paneRect.width * paneRect.height / 100) << "blank pane";

    std::vector<wxWindow*> labelled;
    CollectLabelled(m_dlg, &labelled);
    ASSERT_FALSE(labelled.empty());  // the send-now button at least
    for (wxWindow* w : labelled) {
      EXPECT_GE(DistinctGlyphs(LabelPart(shot, m_dlg, w)), 2) << w->GetLabel().utf8_string();
    }
  }
  // The tree's labels, each on its own.
  const wxImage shot = GrabClientArea(m_dlg);
  wxTreeCtrl* tree = m_dlg->m_tree;
  int checked = 0;
  for (wxTreeItemId item = tree->GetRootItem(); item.IsOk(); item = tree->GetNextVisible(item)) {
    const wxString label = tree->GetItemText(item);
    wxRect rect;
    if (!IsChineseLabel(label) || !tree->GetBoundingRect(item, rect, true)) continue;
    rect.SetPosition(tree->ClientToScreen(rect.GetPosition()));
    // The focused item's label is framed by the dotted focus rectangle along
    // the edge of this rectangle, which inks every column: read inside it.
    rect.Deflate(kFocusFrame);
    EXPECT_GE(DistinctGlyphs(Part(shot, m_dlg, rect)), 2) << label.utf8_string();
    ++checked;
  }
  EXPECT_GE(checked, 6);
}

}  // namespace
}  // namespace uitest
