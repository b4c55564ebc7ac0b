// The window on a real desktop: openbox as the window manager and trayer as
// the notification area, on the test's own display. Minimising goes through
// the window manager (a real iconify); the tray icon is clicked with the real
// pointer, and its menu is worked with real keys.
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include <wx/settings.h>
#include <wx/taskbar.h>

#include "ui/support/background_input.h"
#include "ui/support/desktop.h"
#include "ui/support/main_window_fixture.h"
#include "ui/support/window_testing.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

// How far from the pointer GTK puts the menu's corner.
constexpr int kMenuOffset = 5;

class Desktop : public CMainWindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_wm.Start()) << "openbox did not take the screen";
    ASSERT_TRUE(m_tray.Start()) << "trayer did not take the notification area";
    Open();
    // Mapped, and in the window manager's hands (its frame around it).
    ASSERT_TRUE(WaitFor([this] {
      const unsigned long window = WindowId();
      return window != 0 && Property(window, "WM_STATE").find("Normal") != std::string::npos;
    })) << "the window is not mapped";
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
    unsigned long window = 0;
    ASSERT_TRUE(WaitFor([&] { return (window = WindowId()) != 0; })) << "the window is not mapped";
    ASSERT_TRUE(Xdotool(wxString::Format("windowminimize %lu", window)));
    ASSERT_TRUE(WaitFor([this] {
      wxTaskBarIcon* icon = m_dlg->Tray().Icon();
      return icon != nullptr && icon->IsIconInstalled() && !m_dlg->IsShown() && WindowId() == 0 &&
             m_tray.HoldsAnIcon();
    })) << "minimising did not put the window in the tray";
  }

  // The middle of the tray icon (the only icon, at the tray's left end).
  wxPoint IconCentre() const {
    const wxRect tray = m_tray.ScreenRect();
    return wxPoint(tray.x + tray.height / 2, tray.y + tray.height / 2);
  }

  // Right-clicks the icon and, once the menu is on the screen, presses
  // `keys` there. The menu runs a loop of its own on the window's thread
  // until it closes, so the input comes from a thread of its own while this
  // one goes on dispatching events. Returns the menu's screen rectangle.
  wxRect WorkTheMenu(const std::string& keys) {
    const wxPoint click = IconCentre();
    wxRect menu;
    CInputThread input([&] {
      if (!SpawnXdotool(wxString::Format("mousemove --sync %d %d click 3", click.x, click.y)
                            .utf8_string())) {
        return false;
      }
      const std::optional<wxRect> shown = WaitForPopupMenu(std::chrono::seconds(10));
      if (!shown) return false;
      menu = *shown;
      if (SpawnXdotool("key " + keys) && WaitForNoPopupMenu(std::chrono::seconds(10))) return true;
      // Never leave the window's thread in the menu's loop.
      SpawnXdotool("key Escape");
      return false;
    });
    EXPECT_TRUE(WaitFor([&] { return input.Done(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(input.Succeeded()) << "no menu opened on the right click";
    return menu;
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

// A press is a single click until another follows within the desktop's
// double-click time: two presses further apart than that leave the window
// in the tray, a double click brings it back.
TEST_F(Desktop, MinimisingPutsTheWindowInTheTrayAndADoubleClickBringsItBack) {
  MinimiseThroughTheWindowManager();
  wxTaskBarIcon* icon = m_dlg->Tray().Icon();
  int presses = 0;
  icon->Bind(wxEVT_TASKBAR_LEFT_DOWN, [&](wxTaskBarIconEvent& e) {
    ++presses;
    e.Skip();
  });
  const std::chrono::milliseconds doubleClick(wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC));
  ASSERT_GT(doubleClick.count(), 0);
  for (int click = 1; click <= 2; ++click) {
    ASSERT_TRUE(ClickScreen(IconCentre()));
    ASSERT_TRUE(WaitFor([&] { return presses == click; })) << "the icon did not see click " << click;
    EXPECT_FALSE(m_dlg->IsShown()) << "a single click restored the window";
    // Whatever the press did, it did at once; the next click comes too late
    // to make a double click with it.
    const auto seen = std::chrono::steady_clock::now();
    WaitFor([&] { return std::chrono::steady_clock::now() - seen > doubleClick; }, doubleClick * 2);
  }
  EXPECT_EQ(WindowId(), 0u);

  ASSERT_TRUE(ClickScreen(IconCentre(), 1, 2));
  EXPECT_TRUE(WaitFor([this] { return m_dlg->IsShown() && WindowId() != 0; }));
  EXPECT_EQ(presses, 4);
  EXPECT_FALSE(m_dlg->IsIconized());

  // A second minimise uses the same icon.
  MinimiseThroughTheWindowManager();
  EXPECT_EQ(m_dlg->Tray().Icon(), icon);
}

// The menu opens at the pointer on a right click; its first item shows the
// window, its last ends the window's modal loop, as the program runs it (a
// modal window lets only the menus of dialogs through, which is how its
// commands were once lost).
TEST_F(Desktop, RightClickOpensTheMenuAtThePointerOfTheModalWindow) {
  wxRect menu;
  wxPoint pointer;
  bool shown = false;
  m_dlg->CallAfter([&] {
    MinimiseThroughTheWindowManager();
    pointer = IconCentre();
    menu = WorkTheMenu("Down Return");  // 显示窗口
    shown = WaitFor([this] { return m_dlg->IsShown() && WindowId() != 0; });
    MinimiseThroughTheWindowManager();
    WorkTheMenu("Up Return");  // 关闭程序
  });
  EXPECT_EQ(m_dlg->ShowModal(), wxID_CANCEL);
  EXPECT_TRUE(shown) << "显示窗口 did not show the window";
  // The menu's corner is at the pointer.
  EXPECT_LE(std::abs(menu.x - pointer.x), kMenuOffset) << menu.x << "," << menu.y;
  EXPECT_LE(std::abs(menu.y - pointer.y), kMenuOffset) << menu.x << "," << menu.y;
}

}  // namespace
}  // namespace uitest
