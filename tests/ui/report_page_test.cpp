// The report page: the report file's lines newest first, cut into five
// columns, rebuilt each time the page is chosen.
#include <wx/button.h>
#include <wx/listctrl.h>

#include "platform/codepage.h"
#include "ui/pages/report_page.h"
#include "ui/pages/undelivered_list.h"
#include "ui/support/main_window_fixture.h"

namespace uitest {
namespace {

using ReportPage = CMainWindowTest;

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

std::vector<wxString> Row(const CReportList& list, long row) {
  std::vector<wxString> cells;
  for (long c = 0; c < 5; ++c) cells.push_back(list.GetItemText(row, c));
  return cells;
}

TEST_F(ReportPage, ListsTheLinesNewestFirstCutAtTheFirstFourCommas) {
  m_dir.WriteFile("运行报告.txt",
                  platform::FromUtf8("\r\n2003-11- 8 ,  9: 5 , 3 , 2 , 成功\r\n   \r\n"
                                     " abc \r\n2004- 1- 1 ,  7:30 , 0 , 0 , a,b , c"));
  Open();
  Choose("运行报告");
  CReportPage& page = *m_dlg->m_pages.m_pReport;
  ASSERT_TRUE(page.IsShown());
  const CReportList& list = *page.m_list;
  ASSERT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(Row(list, 0), (std::vector<wxString>{"2004- 1- 1 ", "  7:30 ", " 0 ", " 0 ",
                                                   " a,b , c"}));
  EXPECT_EQ(Row(list, 1), (std::vector<wxString>{"", "", "", "", "abc"}));
  EXPECT_EQ(Row(list, 2),
            (std::vector<wxString>{"2003-11- 8 ", "  9: 5 ", " 3 ", " 2 ", U(" 成功")}));

  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT);
  const char* titles[] = {"    日期    ", "  时间  ", " 邮件 ", " 地址 ", "   状态   "};
  for (int c = 0; c < 5; ++c) {
    ASSERT_TRUE(list.GetColumn(c, column));
    EXPECT_EQ(column.GetText(), U(titles[c]));
  }
  // The list spans the page less 3 pixels on either side, above the
  // undelivered list; no record is named, so neither button takes a click.
  wxSize client = page.GetClientSize();
  EXPECT_EQ(list.GetRect().x, 3);
  EXPECT_EQ(list.GetRect().width, client.x - 6);
  EXPECT_LT(list.GetRect().GetBottom(), page.m_undelivered->GetRect().y);
  EXPECT_FALSE(page.m_btnRetry->IsEnabled());
  EXPECT_FALSE(page.m_btnOpenRecord->IsEnabled());
}

TEST_F(ReportPage, IsRebuiltOnlyWhenChosenAgainAndEmptyWithoutAFile) {
  Open();
  Choose("运行报告");
  CReportPage& page = *m_dlg->m_pages.m_pReport;
  EXPECT_EQ(page.m_list->GetItemCount(), 0);

  m_dir.WriteFile("运行报告.txt", "\r\n2003-11- 8 ,  9: 5 , 1 , 1 , ok");
  DispatchPending();
  EXPECT_EQ(page.m_list->GetItemCount(), 0);
  Choose("运行报告");  // already selected: nothing happens
  Choose("选项");
  Choose("运行报告");
  EXPECT_EQ(page.m_list->GetItemCount(), 1);
}

}  // namespace
}  // namespace uitest
