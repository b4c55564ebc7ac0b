// The tray menu of the program itself, worked as a person works it: the built
// program in its run folder on a desktop of openbox and trayer (its main
// window modal, as it always runs), minimised through the window manager, the
// icon's menu opened with a real right click and an item chosen with the mouse
// or with the keys. What follows is seen from outside: the window's state on
// the X server and the process's exit.
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/scripted_smtp_server.h"
#include "ui/support/background_input.h"
#include "ui/support/desktop.h"
#include "ui/support/program_process.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

enum class Item { Show, Close };

// How long the program may take to start, to end, or to end a run.
constexpr std::chrono::seconds kProgramWait(20);
constexpr std::chrono::seconds kMenuWait(10);

class ProgramTray : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_wm.Start()) << "openbox did not take the screen";
    ASSERT_TRUE(m_tray.Start()) << "trayer did not take the notification area";
  }

  // Starts the program (ending one started before) and waits until the
  // window manager shows its window. `settings` become its ini/Stmp.Ini.
  void StartProgram(const std::string& settings = "") {
    m_program = std::make_unique<CProgramProcess>();
    if (!settings.empty()) {
      std::ofstream(m_program->Folder() / "ini" / "Stmp.Ini", std::ios::binary) << settings;
    }
    ASSERT_TRUE(m_program->Start());
    ASSERT_TRUE(WaitFor([this] { return InNormalState(); }, kProgramWait))
        << "the program's window did not appear";
    m_normal = m_program->MappedWindow()->second;
  }

  bool InNormalState() const {
    const auto window = m_program->MappedWindow();
    if (!window) return false;
    for (const std::string& line : Xprop(wxString::Format("-id %lu WM_STATE", window->first))) {
      if (line.find("Normal") != std::string::npos) return true;
    }
    return false;
  }

  // Minimises the window as a task bar does (an ICCCM iconify request the
  // window manager carries out); the program then hides it behind its icon.
  void Minimise() {
    const auto window = m_program->MappedWindow();
    ASSERT_TRUE(window) << "the window is not on the screen";
    ASSERT_TRUE(Xdotool(wxString::Format("windowminimize %lu", window->first)));
    ASSERT_TRUE(WaitFor([this] { return !m_program->MappedWindow(); }))
        << "minimising left the window on the screen";
  }

  // Opens the icon's menu with a right click on the icon (the only one, at
  // the tray's left end) and chooses `item` with the keys or the mouse.
  void Choose(Item item, bool keys) {
    ASSERT_TRUE(WaitFor([this] { return m_tray.HoldsAnIcon(); })) << "no icon came into the tray";
    const wxRect tray = m_tray.ScreenRect();
    ASSERT_TRUE(SpawnXdotool(wxString::Format("mousemove --sync %d %d click 3",
                                              tray.x + tray.height / 2, tray.y + tray.height / 2)
                                 .utf8_string()));
    const std::optional<wxRect> menu = WaitForPopupMenu(kMenuWait);
    ASSERT_TRUE(menu) << "no menu opened on the right click";
    // 显示窗口 fills the upper part of the menu, 关闭程序 the lower, with a
    // separator between them.
    const bool show = item == Item::Show;
    const bool chosen =
        keys ? SpawnXdotool(show ? "key Down Return" : "key Up Return")
             : SpawnXdotool(wxString::Format("mousemove --sync %d %d click 1",
                                             menu->x + menu->width / 2,
                                             menu->y + menu->height * (show ? 1 : 3) / 4)
                                .utf8_string());
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(WaitForNoPopupMenu(kMenuWait)) << "the menu stayed open";
  }

  CWindowManager m_wm;
  CTray m_tray;
  std::unique_ptr<CProgramProcess> m_program;
  wxRect m_normal;
};

const char* How(bool keys) { return keys ? "with the keys" : "with the mouse"; }

TEST_F(ProgramTray, ShowWindowBringsTheWindowBackInItsNormalSize) {
  StartProgram();
  for (bool keys : {false, true}) {
    Minimise();
    Choose(Item::Show, keys);
    EXPECT_TRUE(WaitFor([this] { return InNormalState(); }, kProgramWait))
        << "显示窗口 chosen " << How(keys) << " did not show the window";
    const auto window = m_program->MappedWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->second.GetSize(), m_normal.GetSize()) << How(keys);
    EXPECT_FALSE(m_program->ExitStatus());
  }
}

TEST_F(ProgramTray, CloseProgramEndsTheProgram) {
  for (bool keys : {false, true}) {
    StartProgram();
    Minimise();
    Choose(Item::Close, keys);
    EXPECT_TRUE(WaitFor([this] { return m_program->ExitStatus().has_value(); }, kProgramWait))
        << "关闭程序 chosen " << How(keys) << " left the program running";
    EXPECT_EQ(m_program->ExitStatus().value_or(-1), 0) << How(keys);
  }
}

// As the close box does: the run in progress is stopped first (the server
// that never answers is given up), says so, records it, and then the
// program ends.
TEST_F(ProgramTray, CloseProgramDuringARunStopsTheRunFirst) {
  testsupport::CScriptedSmtpServer silent{testsupport::CSmtpScript{}};
  StartProgram(
      "[smtp]\r\nsmtp=127.0.0.1\r\nMail=file@example.com\r\nemstp=0\r\nport=" +
      std::to_string(silent.Port()) +
      "\r\n[maildir]\r\nmaildir=mail\r\naddress=address.txt\r\nmailsubject=Hi\r\n");
  // The send button has the focus.
  const unsigned long window = m_program->MappedWindow()->first;
  ASSERT_TRUE(Xdotool(wxString::Format("windowactivate --sync %lu key Return", window)));
  ASSERT_TRUE(silent.WaitForSessions(1, kProgramWait)) << "the run did not start";
  Minimise();
  Choose(Item::Close, true);
  // The run's last word, in a box of its own while the window is hidden.
  std::optional<std::pair<unsigned long, wxRect>> box;
  ASSERT_TRUE(WaitFor([&] { return (box = m_program->MappedWindow()).has_value(); }, kProgramWait))
      << "the run did not end with its message";
  EXPECT_FALSE(m_program->ExitStatus());
  ASSERT_TRUE(Xdotool(wxString::Format("windowactivate --sync %lu key Return", box->first)));
  ASSERT_TRUE(WaitFor([this] { return m_program->ExitStatus().has_value(); }, kProgramWait))
      << "the program did not end after its run";
  EXPECT_EQ(m_program->ExitStatus().value_or(-1), 0);
  std::ifstream report(m_program->Folder() / "运行报告.txt", std::ios::binary);
  const std::string lines{std::istreambuf_iterator<char>(report), {}};
  EXPECT_NE(lines.find(platform::FromUtf8("已停止")), std::string::npos) << lines;
}

}  // namespace
}  // namespace uitest
