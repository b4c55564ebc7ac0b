// What the window program does the Windows way: the About command in the real
// system menu, the show message other programs send, the pictures and the icon
// as numbered Windows resources, and code page 936 at the window's edge
// whatever the system's code page.
#include <chrono>
#include <string>

#include "ui/app/mailer_dlg.h"
#include "ui/app/show_message.h"
#include "ui/common/picture_resources.h"
#include "ui/common/text.h"
#include "ui/support/main_window_fixture.h"
#include "ui/support/window_testing.h"

// After wxWidgets, which sets up the Unicode Windows headers.
#include <windows.h>

namespace uitest {
namespace {

using WindowsMainWindow = CMainWindowTest;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

TEST_F(WindowsMainWindow, SystemMenuEndsWithTheAboutCommandThatOpensTheAboutBox) {
  Open();
  HWND hwnd = static_cast<HWND>(m_dlg->GetHWND());
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  ASSERT_NE(menu, nullptr);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(CMailerDlg::IDM_ABOUTBOX));
  MENUITEMINFOW separator = {};
  separator.cbSize = sizeof separator;
  separator.fMask = MIIM_FTYPE;
  ASSERT_TRUE(GetMenuItemInfoW(menu, count - 2, TRUE, &separator));
  EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
  wchar_t label[64] = {};
  ASSERT_GT(GetMenuStringW(menu, CMailerDlg::IDM_ABOUTBOX, label, 64, MF_BYCOMMAND), 0);
  EXPECT_EQ(wxString(label), U("关于 Postwing(&A)..."));

  // Choosing it: the system sends WM_SYSCOMMAND with the command.
  SendMessageW(hwnd, WM_SYSCOMMAND, CMailerDlg::IDM_ABOUTBOX, 0);
  DispatchPending();
  ASSERT_EQ(m_recorder.m_shown.size(), 1u);
  EXPECT_EQ(m_recorder.m_shown[0].m_strCaption, U("关于 Postwing"));
  // The system's own commands still reach the system.
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([hwnd] { return IsIconic(hwnd) != FALSE; }, std::chrono::seconds(5)));
  EXPECT_EQ(m_recorder.m_shown.size(), 1u);
}

TEST_F(WindowsMainWindow, ShowMessageFromOutsideBringsTheWindowBackFromTheTray) {
  Open();
  HWND hwnd = static_cast<HWND>(m_dlg->GetHWND());
  m_dlg->MinimizeToTray();
  ASSERT_TRUE(WaitUntil([hwnd] { return IsWindowVisible(hwnd) == FALSE; }));
  // Posted as another program posts it: through the window's message queue.
  ASSERT_TRUE(PostMessageW(hwnd, kShowWindowMessage, 0, 0));
  EXPECT_TRUE(WaitUntil([hwnd] { return IsWindowVisible(hwnd) != FALSE && IsIconic(hwnd) == FALSE; },
                        std::chrono::seconds(5)));
  EXPECT_TRUE(m_dlg->IsShown());
}

TEST(WindowsResources, PicturesAndIconLoadByNumber) {
  struct Picture {
    int id;
    wxSize size;
  };
  for (const Picture& p : {Picture{137, {76, 94}}, Picture{145, {346, 295}},
                           Picture{148, {26, 34}}, Picture{149, {26, 34}}}) {
    const wxBitmap bitmap = LoadPictureResource(p.id);
    ASSERT_TRUE(bitmap.IsOk()) << p.id;
    EXPECT_EQ(bitmap.GetSize(), p.size) << p.id;
  }
  EXPECT_FALSE(LoadPictureResource(146).IsOk());
  const wxIconBundle icons = LoadIconBundleResource(128);
  ASSERT_FALSE(icons.IsEmpty());
  EXPECT_EQ(icons.GetIcon(wxSize(16, 16), wxIconBundle::FALLBACK_NONE).GetWidth(), 16);
  EXPECT_EQ(icons.GetIcon(wxSize(32, 32), wxIconBundle::FALLBACK_NONE).GetWidth(), 32);
  EXPECT_TRUE(LoadIconBundleResource(127).IsEmpty());
}

TEST(WindowsText, CodePage936BothWaysWithMarksForWhatItLacks) {
  const std::string gbk = "\xD6\xD0\xCE\xC4 ok";  // 中文 ok
  EXPECT_EQ(FromCodePage(gbk), U("中文 ok"));
  EXPECT_EQ(ToCodePage(U("中文 ok")), gbk);
  // A character outside the code page becomes '?', the rest is kept.
  EXPECT_EQ(ToCodePage(U("中\xE2\x82\xA9文")), "\xD6\xD0?\xCE\xC4");
  // A byte that is no character is marked; the text around it is kept.
  const wxString broken = FromCodePage("\xD6\xD0\xFF");
  EXPECT_TRUE(broken.StartsWith(U("中"))) << broken;
  EXPECT_EQ(broken.Last(), wxUniChar(0xFFFD));
}

}  // namespace
}  // namespace uitest
