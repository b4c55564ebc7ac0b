// What a person meets in the window, checked on the screen and with real
// keys and clicks: page colours, the clock's size, the timer edits' keys,
// the report columns, the folder browser's start and the message boxes.
#include <algorithm>
#include <filesystem>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filefn.h>
#include <wx/listctrl.h>
#include <wx/statbmp.h>
#include <wx/timer.h>
#include <wx/statbox.h>
#include <wx/spinbutt.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>

#include "platform/codepage.h"
#include "ui/controls/link_label.h"
#include "ui/controls/painted_static.h"
#include "ui/pages/help_page.h"
#include "ui/pages/my_view.h"
#include "ui/pages/report_page.h"
#include "ui/pages/smtp_page.h"
#include "ui/pages/source_page.h"
#include "ui/pages/timer_page.h"
#include "ui/support/main_window_fixture.h"
#include "ui/support/window_testing.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

using WindowLook = CMainWindowTest;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

const wxColour kStripGrey(172, 168, 153);

wxPoint Centre(wxWindow* window) {
  const wxRect r = window->GetScreenRect();
  return wxPoint(r.x + r.width / 2, r.y + r.height / 2);
}

TEST_F(WindowLook, PagesAreInTheDialogColourAndOnlyTheStripIsGrey) {
  Open();
  for (const char* label : {"SMTP设置", "目录设置", "定时设置", "运行报告", "帮助说明",
                            "版本说明", "声音设置"}) {
    Choose(label);
    wxWindow* page = nullptr;
    for (wxWindow* child : m_dlg->GetChildren()) {
      if (child->IsShown() && child->GetRect().x > m_dlg->m_tree->GetRect().GetRight() &&
          child->GetRect().y == 0) {
        page = child;
      }
    }
    ASSERT_NE(page, nullptr) << label;
    const wxImage shot = GrabClientArea(page);
    ASSERT_TRUE(shot.IsOk());
    EXPECT_EQ(CountPixels(shot, kStripGrey), 0) << label;
    if (page != m_dlg->m_pages.m_pHelp) {  // the help view covers its page
      EXPECT_GT(CountPixels(shot, page->GetBackgroundColour()), 0) << label;
    }
  }
  // The strip below the pane is grey.
  const wxImage window = GrabClientArea(m_dlg);
  const int stripTop = m_dlg->PageRect().GetBottom() + 1;
  const wxImage strip = window.GetSubImage(
      wxRect(0, stripTop, window.GetWidth(), window.GetHeight() - stripTop));
  EXPECT_GT(CountPixels(strip, kStripGrey), strip.GetWidth() * strip.GetHeight() / 2);
}

// The rows of `image` in which some pixel is clearly the clock's red.
int RedInkHeight(const wxImage& image) {
  int top = -1, bottom = -1;
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) {
      const int r = image.GetRed(x, y), g = image.GetGreen(x, y), b = image.GetBlue(x, y);
      if (r > 120 && r - g > 80 && r - b > 80) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
    }
  }
  return top < 0 ? 0 : bottom - top + 1;
}

// A character height of 14 pixels draws digits about 10 pixels high (their
// height is 0.7 to 0.75 of the em in common faces); a font fitted to a
// 14-pixel line draws them about 8 high.
TEST_F(WindowLook, ClockDigitsAreDrawnForAFourteenPixelCharacterHeight) {
  WriteSettings("[timer]\r\nhour=8\r\nminute=5\r\ntimer=1\r\n");
  Open();
  CLinkLabel* clock = m_dlg->m_clockLabel;
  ASSERT_TRUE(clock->IsShown());
  const wxImage shot = GrabClientArea(clock);
  ASSERT_TRUE(shot.IsOk());
  const int ink = RedInkHeight(shot);
  EXPECT_GE(ink, 10);
  EXPECT_LE(ink, 12);
  // The whole time is inside the label.
  EXPECT_GE(clock->GetSize().x, clock->GetBestSize().x);
}

TEST_F(WindowLook, UpAndDownStepTheTimeAndTabSkipsTheArrows) {
  WriteSettings("[timer]\r\nhour=22\r\nminute=0\r\n");
  Open();
  Choose("定时设置");
  CTimerPage& timer = *m_dlg->m_pages.m_pTimer;
  ASSERT_TRUE(ClickScreen(Centre(timer.m_editHour)));
  ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == timer.m_editHour; }));
  ASSERT_TRUE(PressKey("Up"));
  EXPECT_TRUE(WaitFor([&] { return timer.m_editHour->GetValue() == "23"; }));
  ASSERT_TRUE(PressKey("Up"));  // the top of the range holds
  ASSERT_TRUE(PressKey("Down Down Down"));
  EXPECT_TRUE(WaitFor([&] { return timer.m_editHour->GetValue() == "20"; }))
      << timer.m_editHour->GetValue();
  EXPECT_EQ(timer.m_spinHour->GetValue(), 20);

  ASSERT_TRUE(PressKey("Tab"));
  EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == timer.m_editMinute; }));
  ASSERT_TRUE(PressKey("Down"));  // the bottom holds too
  ASSERT_TRUE(PressKey("Up"));
  EXPECT_TRUE(WaitFor([&] { return timer.m_editMinute->GetValue() == "1"; }))
      << timer.m_editMinute->GetValue();
  ASSERT_TRUE(PressKey("Tab"));
  EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == timer.m_checkTimer; }));
}

// The port spin starts where the edits above it start, right of its label.
TEST_F(WindowLook, SmtpPortSpinLinesUpWithTheEditsAboveIt) {
  Open();
  Choose("SMTP设置");
  const CSmtpPage& smtp = *m_dlg->m_pages.m_pSmtp;
  EXPECT_EQ(smtp.m_spinPort->GetScreenRect().x, smtp.m_editServer->GetScreenRect().x);
}

// wx's list on GTK draws a cell's text, blanks and all, within the cell's
// width less 8 pixels and cuts the rest with "..."; a title starts 6 pixels
// in and is cut at the column's edge.
constexpr int kListTextMargin = 8;
constexpr int kListTitleIndent = 6;

// Every title and cell reads whole. The four short columns leave the status
// the rest of the pane, which holds the statuses the program writes itself
// up to the widest of its account messages; a longer one widens its column.
TEST_F(WindowLook, ReportColumnsShowEveryTextWholeAndTheStatusFillsThePane) {
  const struct {
    const char* status;
    bool fitsThePane;
  } cases[] = {{"成功", true},
               {"无法打开邮件地址列表文件.", true},
               {"邮件服务器(SMTP)验证失败.", true},
               {"邮件服务器不支持安全连接(STARTTLS).", false}};
  for (const auto& c : cases) {
    m_dir.WriteFile("运行报告.txt",
                    platform::FromUtf8(std::string("\r\n2003-11-18 , 23:59 , 2 , 3 , 成功\r\n"
                                                   "2003-11-19 ,  8: 5 , 10 , 0 , ") +
                                       c.status));
    if (!m_dlg) Open();
    Choose("版本说明");
    Choose("运行报告");
    CReportList* list = m_dlg->m_pages.m_pReport->m_list;
    ASSERT_TRUE(WaitFor([&] { return list->GetItemCount() == 2; }));
    EXPECT_GE(list->GetClientSize().x, m_dlg->PageRect().width - 12) << "the list fills the pane";
    int total = 0;
    for (int i = 0; i < 5; ++i) {
      wxListItem column;
      column.SetMask(wxLIST_MASK_TEXT);
      list->GetColumn(i, column);
      const int width = list->GetColumnWidth(i);
      EXPECT_GE(width, list->GetTextExtent(column.GetText().Strip(wxString::trailing)).x +
                           kListTitleIndent)
          << "title " << i;
      for (long row = 0; row < 2; ++row) {
        EXPECT_GE(width, list->GetTextExtent(list->OnGetItemText(row, i)).x + kListTextMargin)
            << c.status << " row " << row << " column " << i;
      }
      total += width;
    }
    if (c.fitsThePane) {
      EXPECT_EQ(total, list->GetClientSize().x) << c.status << ": the status column fills the rest";
    } else {
      EXPECT_GT(total, list->GetClientSize().x) << c.status;
    }
  }
}

// The browser is opened by a real click; GTK's dialog keeps the folder it is
// given to itself, so the folder is checked where the page computes it.
TEST_F(WindowLook, FolderBrowserStartsInTheTypedFolderOrTheStartDirectory) {
  std::filesystem::create_directory(m_dir.Path() / "mail");
  WriteSettings("[maildir]\r\nmaildir=mail\r\n");
  Open();
  Choose("目录设置");
  CSourcePage& source = *m_dlg->m_pages.m_pSource;
  EXPECT_EQ(source.BrowseStartFolder(), wxGetCwd() + wxFILE_SEP_PATH + "mail");
  ASSERT_TRUE(ClickScreen(Centre(source.m_btnBrowseDir)));
  ASSERT_TRUE(WaitFor([&] { return m_recorder.m_shown.size() == 1; }));
  EXPECT_EQ(m_recorder.m_shown[0].m_strText, U("请选择一个文件夹:"));

  source.m_editMailDir->ChangeValue("no such folder");
  EXPECT_EQ(source.BrowseStartFolder(), wxGetCwd());
  source.m_editMailDir->ChangeValue("");
  EXPECT_EQ(source.BrowseStartFolder(), wxGetCwd());
}

// The box is shown for real and closed by a real click on its button.
TEST_F(WindowLook, MessageBoxesSayQueDingAndShowTheWarningIcon) {
  WriteSettings("[timer]\r\nhour=30\r\nminute=0\r\n");
  Open();
  Choose("定时设置");
  m_recorder.Unregister();
  CSafetyTimer safety(30);
  std::vector<wxString> buttons;
  bool icon = false;
  wxTimer poll;
  poll.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    for (wxWindow* window : wxTopLevelWindows) {
      auto* box = dynamic_cast<wxGenericMessageDialog*>(window);
      if (box == nullptr || !box->IsModal() || !box->IsShownOnScreen()) continue;
      poll.Stop();
      wxButton* ok = nullptr;
      for (wxWindow* child : box->GetChildren()) {
        if (auto* button = dynamic_cast<wxButton*>(child)) {
          buttons.push_back(button->GetLabel());
          ok = button;
        }
        if (auto* picture = dynamic_cast<wxStaticBitmap*>(child)) {
          icon = icon || picture->GetBitmap().IsOk();
        }
      }
      // Clicked from inside the box's modal loop, where no child process
      // may be waited for: wx's own XTEST input.
      if (ok != nullptr) {
        wxUIActionSimulator sim;
        sim.MouseMove(Centre(ok));
        sim.MouseClick();
      }
      return;
    }
  });
  poll.Start(50);
  // Down in the tree moves on to 运行报告; leaving checks the hour, and 30 is
  // out of range.
  m_dlg->m_tree->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == m_dlg->m_tree; }));
  wxUIActionSimulator().Char(WXK_DOWN);
  EXPECT_TRUE(WaitFor([&] { return m_dlg->m_pages.m_pReport->IsShown(); }));
  m_recorder.Register();
  EXPECT_EQ(buttons, std::vector<wxString>{U("确定")});
  EXPECT_TRUE(icon);
}

// Each caption lies across its frame's top line, in from the left corner,
// and the line does not show through the words.
TEST_F(WindowLook, GroupCaptionsSitOnTheFrameLine) {
  Open();
  Choose("目录设置");
  wxWindow* page = m_dlg->m_pages.m_pSource;
  std::vector<wxStaticBox*> frames;
  std::vector<CPaintedStatic*> captions;
  for (wxWindow* child : page->GetChildren()) {
    if (auto* frame = dynamic_cast<wxStaticBox*>(child)) frames.push_back(frame);
    if (auto* caption = dynamic_cast<CPaintedStatic*>(child)) captions.push_back(caption);
  }
  ASSERT_EQ(frames.size(), 3u);
  ASSERT_EQ(captions.size(), 3u);
  const wxImage shot = GrabClientArea(page);
  ASSERT_TRUE(shot.IsOk());
  const wxColour paper = page->GetBackgroundColour();
  auto at = [&shot](int x, int y) {
    return wxColour(shot.GetRed(x, y), shot.GetGreen(x, y), shot.GetBlue(x, y));
  };
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const wxRect frame = frames[i]->GetRect();
    const wxRect caption = captions[i]->GetRect();
    EXPECT_GE(caption.x, frame.x + 4) << i;
    EXPECT_LT(caption.GetRight(), frame.GetRight()) << i;
    // The top line, found left of the caption, runs through the caption.
    int lineY = frame.y;
    while (lineY < frame.GetBottom() && at(frame.x + 3, lineY) == paper) ++lineY;
    EXPECT_GT(lineY, caption.y) << i;
    EXPECT_LT(lineY, caption.GetBottom()) << i;
    // Behind the words the line is broken: few of its pixels show there.
    const wxColour line = at(frame.x + 3, lineY);
    int lineColoured = 0;
    for (int x = caption.x + 1; x < caption.GetRight(); ++x) {
      if (at(x, lineY) == line) ++lineColoured;
    }
    EXPECT_LT(lineColoured, caption.width / 4) << i;
  }
}

// The document shipped with the program, laid out in the pane: nothing runs
// past its right edge, so it never scrolls sideways.
TEST_F(WindowLook, HelpDocumentFitsThePaneWidth) {
  std::filesystem::create_directory(m_dir.Path() / "help");
  std::filesystem::copy_file(std::filesystem::path(POSTWING_SOURCE_DIR) / "runtime/help/index.htm",
                             m_dir.Path() / "help/index.htm");
  Open();
  Choose("帮助说明");
  CMyVw* view = m_dlg->m_pages.m_pHelp->View();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(view->GetInternalRepresentation(), nullptr);
  EXPECT_GT(view->GetInternalRepresentation()->GetHeight(), view->GetClientSize().y);
  EXPECT_LE(view->GetInternalRepresentation()->GetWidth(), view->GetClientSize().x);
  // Asked to scroll right, it stays at its left edge. (The native scroll bar's
  // figures say nothing here: Windows keeps an empty range as 0 to 0, which
  // reads as a range of one against a page of none.)
  view->Scroll(1000, 0);
  int x = -1, y = -1;
  view->GetViewStart(&x, &y);
  EXPECT_EQ(x, 0) << "the view scrolls sideways";
}

}  // namespace
}  // namespace uitest
