// Line breaks between Chinese characters for the help view: the filter as a
// pure function, and a Chinese paragraph really wrapping in a CMyVw.
#include "ui/common/cjk_breaks.h"

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/html/htmlcell.h>

#include "ui/pages/my_view.h"
#include "ui/support/window_testing.h"

namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

TEST(InsertCjkBreaks, BreaksBetweenChineseCharactersOnly) {
  EXPECT_EQ(InsertCjkBreaks(U("<p>飞鸿信使</p>")), U("<p>飞<wbr>鸿<wbr>信<wbr>使</p>"));
  EXPECT_EQ(InsertCjkBreaks(U("发送SMTP邮件 ok")), U("发<wbr>送SMTP邮<wbr>件 ok"));
  EXPECT_EQ(InsertCjkBreaks("plain text, <b>bold</b>"), "plain text, <b>bold</b>");
  EXPECT_EQ(InsertCjkBreaks(""), "");
}

TEST(InsertCjkBreaks, KeepsPunctuationWithItsWord) {
  // No line may start with "，" or "。", nor end with "（".
  EXPECT_EQ(InsertCjkBreaks(U("每天，（北京）时间。")),
            U("每<wbr>天，<wbr>（北<wbr>京）<wbr>时<wbr>间。"));
}

TEST(InsertCjkBreaks, LeavesMarkupAndVerbatimTextAlone) {
  EXPECT_EQ(InsertCjkBreaks(U("<img alt=\"中文>图片\" title='帮助'>字")),
            U("<img alt=\"中文>图片\" title='帮助'>字"));
  EXPECT_EQ(InsertCjkBreaks(U("<!-- 注释 --><title>帮助</title><PRE>中文</PRE>中文")),
            U("<!-- 注释 --><title>帮助</title><PRE>中文</PRE>中<wbr>文"));
  // A tag between two characters already separates them.
  EXPECT_EQ(InsertCjkBreaks(U("中<b>文</b>")), U("中<b>文</b>"));
}

TEST(CMyVwLayout, ChineseParagraphWrapsToTheViewsWidth) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "wrap", wxPoint(40, 40), wxSize(360, 400));
  auto* view = new CMyVw;
  view->Create(frame, wxID_ANY, wxDefaultPosition, wxSize(300, 300), wxHW_SCROLLBAR_NEVER);
  ShowAndWait(frame);
  wxString paragraph;
  for (int i = 0; i < 12; ++i) paragraph += U("每天到了设定的时间，程序就发送邮件。");
  view->SetPage("<html><body><p>" + paragraph + "</p></body></html>");
  wxHtmlContainerCell* cell = view->GetInternalRepresentation();
  ASSERT_NE(cell, nullptr);
  EXPECT_LE(cell->GetWidth(), view->GetClientSize().x);
  // Twelve long sentences need many lines.
  EXPECT_GT(cell->GetHeight(), 8 * view->GetCharHeight());
  frame->Destroy();
}

}  // namespace
