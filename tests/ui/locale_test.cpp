// The process's locale, as the program sets it up at start: Chinese whatever
// LANG and LANGUAGE say (this test runs under C.UTF-8 with LANGUAGE=en and
// under zh_CN.UTF-8), so that wx's and GTK's own texts are Chinese too.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <libintl.h>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <wx/stockitem.h>
#include <wx/textctrl.h>

#include "ui/pages/source_page.h"
#include "ui/support/main_window_fixture.h"

namespace uitest {
namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

TEST(Locale, IsSimplifiedChineseWhateverTheEnvironmentSays) {
  const char* messages = std::setlocale(LC_MESSAGES, nullptr);
  ASSERT_NE(messages, nullptr);
  EXPECT_EQ(std::strncmp(messages, "zh_CN", 5), 0) << messages;
  // wx's own texts (stock buttons, its dialogs)...
  EXPECT_EQ(wxGetStockLabel(wxID_CANCEL, wxSTOCK_NOFLAGS), U("取消"));
  // ...and GTK's (the file and folder dialogs, the edits' context menu).
  EXPECT_STREQ(dgettext("gtk30", "_Cancel"), "取消(_C)");
  EXPECT_STREQ(dgettext("gtk30", "Select _All"), "全选(_A)");
}

// The variables the process was started with (Linux keeps them apart from
// the ones it changes).
std::map<std::string, std::string> StartingEnvironment() {
  std::ifstream in("/proc/self/environ", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::map<std::string, std::string> variables;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = std::min(all.find('\0', at), all.size());
    const std::string entry = all.substr(at, end - at);
    const std::size_t equals = entry.find('=');
    if (equals != std::string::npos) variables[entry.substr(0, equals)] = entry.substr(equals + 1);
    at = end + 1;
  }
  return variables;
}

// The environment named Chinese only while the toolkit set itself up: the
// programs the window starts (web browser, mail program) get the caller's.
TEST(Locale, ProgramsItStartsGetTheCallersLocaleVariables) {
  const std::map<std::string, std::string> starting = StartingEnvironment();
  ASSERT_FALSE(starting.empty());
  for (const char* name : {"LC_ALL", "LANG"}) {
    const char* now = std::getenv(name);
    const auto was = starting.find(name);
    if (was == starting.end()) {
      EXPECT_EQ(now, nullptr) << name;
    } else {
      ASSERT_NE(now, nullptr) << name;
      EXPECT_EQ(now, was->second) << name;
    }
  }
}

using LocaleWindow = CMainWindowTest;

// Under the Chinese locale the byte strings of the settings keep their code
// page: what the program writes does not follow the locale.
TEST_F(LocaleWindow, SettingsStayInTheirCodePage) {
  WriteSettings("[maildir]\r\nmailsubject=你好\r\n");
  Open();
  Choose("目录设置");
  EXPECT_EQ(m_dlg->m_pages.m_pSource->m_editSubject->GetValue(), U("你好"));
  Choose("声音设置");
  EXPECT_EQ(Setting("maildir", "mailsubject"), "你好");
}

}  // namespace
}  // namespace uitest
