// The SMTP page's 同时连接数 in the program itself, its main window modal as
// it always runs: the page chosen in the tree and the spin's + clicked with
// the real pointer; leaving the page stores the new number of connections
// beside the messages per connection, which stay as they were.
#include <chrono>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/journal_file.h"
#include "ui/support/desktop.h"
#include "ui/support/program_process.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

constexpr std::chrono::seconds kProgramWait(20);
// Places in the main window's client area: the tree's SMTP设置 and 目录设置
// items, and the + of the 同时连接数 spin.
constexpr int kSmtpItem[2] = {60, 33};
constexpr int kSourceItem[2] = {57, 54};
constexpr int kConnectionsPlus[2] = {378, 344};

TEST(ProgramSmtpPage, TheConnectionsSpinIsStoredOnLeavingThePage) {
  CWindowManager wm;
  ASSERT_TRUE(wm.Start()) << "openbox did not take the screen";
  CProgramProcess program;
  const std::filesystem::path ini = program.Folder() / "ini" / "Stmp.Ini";
  std::ofstream(ini, std::ios::binary)
      << "[smtp]\r\nsmtp=smtp.example.com\r\nMail=shop@example.com\r\nemstp=0\r\nsecurity=1\r\n";
  ASSERT_TRUE(program.Start());
  std::optional<std::pair<unsigned long, wxRect>> main;
  ASSERT_TRUE(WaitFor([&] { return (main = program.MappedWindow()).has_value(); }, kProgramWait));
  const unsigned long window = main->first;
  auto click = [&](const int (&at)[2]) {
    return Xdotool(wxString::Format("mousemove --window %lu %d %d click 1", window, at[0], at[1]));
  };
  ASSERT_TRUE(Xdotool(wxString::Format("windowactivate --sync %lu", window)));
  ASSERT_TRUE(click(kSmtpItem));
  ASSERT_TRUE(click(kConnectionsPlus));
  ASSERT_TRUE(click(kSourceItem));
  std::string text;
  EXPECT_TRUE(WaitFor(
      [&] {
        return platform::ReadWholeFile(ini, text) && text.find("connections=2\r\n") != std::string::npos;
      },
      kProgramWait))
      << text;
  EXPECT_NE(text.find("reuse=20\r\n"), std::string::npos) << text;
  EXPECT_FALSE(program.ExitStatus()) << "the program ended";
}

}  // namespace
}  // namespace uitest
