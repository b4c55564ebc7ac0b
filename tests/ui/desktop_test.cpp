// The window on a real desktop: openbox as the window manager and trayer as
// the notification area, on the test's own display. Minimising goes through
// the window manager (a real iconify); the tray icon is clicked with the real
// pointer, and its menu is worked with real keys.
#include <cstring>

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/taskbar.h>

#include "ui/support/desktop.h"
#include "ui/support/main_window_fixture.h"
#include "ui/support/window_testing.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

class Desktop : public CMainWindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_wm.Start()) << "openbox did not take the screen";
    ASSERT_TRUE(m_tray.Start()) << "trayer did not take the notification area";
    Open();
    ASSERT_TRUE(WaitFor([this] { return WindowId() != 0; })) << "the window is not mapped";
  }

  // The main window's X window while it is mapped, else 0.
  unsigned long WindowId() const { return MappedWindowId(m_dlg); }

  // The value lines xprop prints for `property` of the main window.
  std::string Property(unsigned long window, const char* property) {
    std::string all;
    for (const std::string& line : Xprop(wxString::Format("-id %lu %s", window, property))) {
      all += line;
    }
    return all;
  }

  // Minimises the window as a task bar does: an ICCCM iconify request that
  // the window manager carries out.
  void MinimiseThroughTheWindowManager() {
    const unsigned long window = WindowId();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(Xdotool(wxString::Format("windowminimize %lu", window)));
    ASSERT_TRUE(WaitFor([this] {
      wxTaskBarIcon* icon = m_dlg->Tray().Icon();
      return icon != nullptr && icon->IsIconInstalled() && !m_dlg->IsShown() && WindowId() == 0;
    })) << "minimising did not put the window in the tray";
  }

  // The middle of the tray icon (the only icon, at the tray's left end).
  wxPoint IconCentre() const {
    const wxRect tray = m_tray.ScreenRect();
    return wxPoint(tray.x + tray.height / 2, tray.y + tray.height / 2);
  }

  // What the screen shows in `area` (screen coordinates).
  static wxImage GrabScreen(const wxRect& area) {
    const wxString file = wxFileName::CreateTempFileName("postwing-screen");
    wxImage image;
    if (wxExecute(wxString::Format("import -window root -crop %dx%d+%d+%d +repage png:%s",
                                   area.width, area.height, area.x, area.y, file),
                  wxEXEC_SYNC | wxEXEC_NODISABLE) == 0) {
      wxLogNull quiet;
      image.LoadFile(file, wxBITMAP_TYPE_PNG);
    }
    wxRemoveFile(file);
    return image;
  }

  // Right-clicks the icon and waits until something opens just below and
  // right of the pointer (the menu, its top left corner at the pointer).
  void OpenMenuAtThePointer() {
    const wxPoint click = IconCentre();
    const wxRect belowRight(click.x + 4, click.y + 4, 60, 30);
    const wxImage before = GrabScreen(belowRight);
    ASSERT_TRUE(before.IsOk());
    ASSERT_TRUE(ClickScreen(click, 3));
    ASSERT_TRUE(WaitFor([&] {
      const wxImage now = GrabScreen(belowRight);
      return now.IsOk() && std::memcmp(now.GetData(), before.GetData(),
                                       static_cast<std::size_t>(before.GetWidth()) *
                                           before.GetHeight() * 3) != 0;
    })) << "no menu opened at the pointer";
  }

  CWindowManager m_wm;
  CTray m_tray;
};

TEST_F(Desktop, WindowHasAMinimiseBoxAndATaskBarEntry) {
  const unsigned long window = WindowId();
  EXPECT_NE(Property(window, "_NET_WM_ALLOWED_ACTIONS").find("_NET_WM_ACTION_MINIMIZE"),
            std::string::npos)
      << Property(window, "_NET_WM_ALLOWED_ACTIONS");
  EXPECT_EQ(Property(window, "_NET_WM_STATE").find("_NET_WM_STATE_SKIP_TASKBAR"),
            std::string::npos);
  // Task bars list the windows of _NET_CLIENT_LIST that are not transient
  // dialogs of another window.
  EXPECT_NE(Property(window, "WM_TRANSIENT_FOR").find("not found"), std::string::npos)
      << Property(window, "WM_TRANSIENT_FOR");
  std::string clients;
  for (const std::string& line : Xprop("-root _NET_CLIENT_LIST")) clients += line;
  EXPECT_NE(clients.find(wxString::Format("0x%lx", window).utf8_string()), std::string::npos)
      << clients;
}

// Not yet reliable: a single click has been seen to restore the window too.
TEST_F(Desktop, DISABLED_MinimisingPutsTheWindowInTheTrayAndADoubleClickBringsItBack) {
  MinimiseThroughTheWindowManager();
  EXPECT_EQ(m_dlg->Tray().Icon()->IsIconInstalled(), true);

  // A single click is not enough.
  int clicks = 0;
  m_dlg->Tray().Icon()->Bind(wxEVT_TASKBAR_LEFT_DOWN, [&](wxTaskBarIconEvent& e) {
    ++clicks;
    e.Skip();
  });
  ASSERT_TRUE(ClickScreen(IconCentre()));
  ASSERT_TRUE(WaitFor([&] { return clicks == 1; })) << "the icon did not see the click";
  EXPECT_FALSE(m_dlg->IsShown());

  ASSERT_TRUE(ClickScreen(IconCentre(), 1, 2));
  EXPECT_TRUE(WaitFor([this] { return m_dlg->IsShown() && WindowId() != 0; }));
  EXPECT_FALSE(m_dlg->IsIconized());

  // A second minimise uses the same icon.
  wxTaskBarIcon* icon = m_dlg->Tray().Icon();
  MinimiseThroughTheWindowManager();
  EXPECT_EQ(m_dlg->Tray().Icon(), icon);
}

// The menu opens at the pointer on a right click; its first item shows the
// window, its last ends the window (here, not run modally, by hiding it; the
// program's modal window ends with Cancel). The icon stays while the window
// is shown, so its menu is there then too.
// Not yet reliable: the X connection has been lost during this test.
TEST_F(Desktop, DISABLED_RightClickOpensTheMenuAtThePointer) {
  MinimiseThroughTheWindowManager();
  OpenMenuAtThePointer();
  ASSERT_TRUE(PressKey("Down Return"));  // 显示窗口
  ASSERT_TRUE(WaitFor([this] { return m_dlg->IsShown() && WindowId() != 0; }));

  OpenMenuAtThePointer();
  ASSERT_TRUE(PressKey("Up Return"));  // 关闭程序
  EXPECT_TRUE(WaitFor([this] { return !m_dlg->IsShown() && WindowId() == 0; }));
}

}  // namespace
}  // namespace uitest
