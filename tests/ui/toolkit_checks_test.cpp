// The toolkit's tripped checks go to the program's log, never to a dialog: a
// check tripped with the log in place writes one line naming the place and
// the message and returns at once (the toolkit's dialog would wait here
// for a click, and the test would not end); without a settings folder
// nothing is written.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/toplevel.h>

#include "support/temp_dir.h"
#include "ui/app/toolkit_checks.h"

namespace {

int CountLines(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

TEST(ToolkitChecks, GoToTheLogInTheSettingsFolderAndNeverToADialog) {
  struct Case {
    const char* m_szName;
    bool m_bSettingsFolder;
    int m_nTrips;
    int m_nLines;  // written to the log
  };
  const Case cases[] = {
      {"one check", true, 1, 1},
      {"no settings folder", false, 3, 0},
      // A check in a loop does not fill the disk.
      {"a flood", true, 500, 200},
  };
  const std::size_t windowsBefore = wxTopLevelWindows.size();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_szName);
    testsupport::CTempDir dir;
    if (c.m_bSettingsFolder) std::filesystem::create_directories(dir.Path() / "ini");
    {
      testsupport::CWorkingDirGuard inside(dir.Path());
      RouteToolkitChecksToLog();
    }
    for (int i = 0; i < c.m_nTrips; ++i) wxFAIL_MSG("a check that must not show");
    EXPECT_EQ(wxTopLevelWindows.size(), windowsBefore);
    const std::string log = dir.ReadFile("ini/wx-checks.log");
    EXPECT_EQ(CountLines(log), c.m_nLines) << log;
    if (c.m_nLines > 0) {
      EXPECT_NE(log.find("toolkit_checks_test.cpp:"), std::string::npos) << log;
      EXPECT_NE(log.find("(a check that must not show)"), std::string::npos) << log;
      EXPECT_EQ(log.find("\r\n"), log.find('\n') - 1);
    }
  }
}

}  // namespace
