// The window program itself, started as a person starts it: the toolkit
// picks its fonts, and with them the size of every window, by the locale it
// starts in, so the program names its Chinese locale before the toolkit
// starts and its window is the same whatever locale it was started in.
#include <filesystem>
#include <map>
#include <optional>

#include <gtest/gtest.h>
#include <wx/process.h>
#include <wx/utils.h>

#include "support/temp_dir.h"
#include "ui/support/desktop.h"
#include "ui/support/xdotool.h"

namespace uitest {
namespace {

const char kProgram[] = POSTWING_BINARY_DIR "/src/ui/postwing";

// The size of the largest window of process `pid` on the screen, once it has
// one.
std::optional<wxSize> MappedWindowSize(long pid) {
  std::optional<wxSize> largest;
  for (const auto& [id, rect] : WindowGeometries(wxString::Format("--onlyvisible --pid %ld", pid))) {
    if (!largest || rect.width * rect.height > largest->x * largest->y) largest = rect.GetSize();
  }
  return largest;
}

// Starts the program in a copy of its run folder under `variables`, waits for
// its window and ends it again; the window's size.
std::optional<wxSize> WindowSizeUnder(const std::map<wxString, wxString>& variables) {
  testsupport::CTempDir dir;
  std::filesystem::copy(POSTWING_SOURCE_DIR "/runtime", dir.Path(),
                        std::filesystem::copy_options::recursive);
  wxExecuteEnv env;
  env.cwd = dir.Path().string();
  wxGetEnvMap(&env.env);
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANG", "LANGUAGE"}) {
    env.env.erase(name);
  }
  for (const auto& [name, value] : variables) env.env[name] = value;
  const long pid = wxExecute(kProgram, wxEXEC_ASYNC, nullptr, &env);
  if (pid <= 0) return std::nullopt;
  std::optional<wxSize> size;
  WaitFor([&] { return (size = MappedWindowSize(pid)).has_value(); }, std::chrono::seconds(20));
  wxKill(pid, wxSIGTERM);
  EXPECT_TRUE(WaitFor([&] { return !wxProcess::Exists(pid); })) << "the program did not end";
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
