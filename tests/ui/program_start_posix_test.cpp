// The window program itself, started as a person starts it: the toolkit
// picks its fonts, and with them the size of every window, by the locale it
// starts in, so the program names its Chinese locale before the toolkit
// starts and its window is the same whatever locale it was started in.
#include <map>
#include <optional>

#include <gtest/gtest.h>

#include "ui/support/program_process.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

// Starts the program in a copy of its run folder under `variables`, waits for
// its window and ends it again; the window's size.
std::optional<wxSize> WindowSizeUnder(const std::map<wxString, wxString>& variables) {
  CProgramProcess program;
  if (!program.Start(variables)) return std::nullopt;
  std::optional<wxSize> size;
  WaitFor([&] {
    const auto window = program.MappedWindow();
    if (window) size = window->second.GetSize();
    return size.has_value();
  }, std::chrono::seconds(20));
  return size;
}

TEST(ProgramStart, WindowSizeDoesNotDependOnTheCallersLocale) {
  const std::optional<wxSize> chinese =
      WindowSizeUnder({{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", "zh_CN.UTF-8"}});
  ASSERT_TRUE(chinese) << "no window under zh_CN.UTF-8";
  const std::map<wxString, wxString> others[] = {
      {{"LANG", "C.UTF-8"}, {"LC_ALL", "C.UTF-8"}, {"LANGUAGE", "en"}},
      {{"LANG", "en_US.UTF-8"}},  // whether or not the system has it
      {{"LANG", "C"}, {"LC_ALL", "C"}},
  };
  for (const auto& variables : others) {
    const std::optional<wxSize> size = WindowSizeUnder(variables);
    ASSERT_TRUE(size) << "no window under LANG=" << variables.at("LANG");
    EXPECT_EQ(*size, *chinese) << "LANG=" << variables.at("LANG") << ": " << size->x << "x"
                               << size->y << ", under zh_CN.UTF-8 " << chinese->x << "x"
                               << chinese->y;
  }
}

}  // namespace
}  // namespace uitest
