#include "message/merge_fields.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace message {
namespace {

using platform::FromUtf8;

CFieldRow Row() {
  CFieldRow row;
  row.Add(FromUtf8("姓名"), FromUtf8("张三"));
  row.Add(FromUtf8("公 司"), FromUtf8("飞鸿"));
  row.Add("Email", "z@x.cn");
  row.Add(FromUtf8("空"), "");
  return row;
}

TEST(MergeFieldsTest, ReplacesFieldsAndLeavesTheRest) {
  struct Case {
    const char* text;
    const char* merged;
  };
  const Case cases[] = {
      {"尊敬的{{姓名}}先生", "尊敬的张三先生"},
      {"{{ 姓名 }}/{{公司}}/{{公　司}}", "张三/飞鸿/飞鸿"},  // blanks, wide blank, titles with blanks
      {"{{Email}}{{Email}}", "z@x.cn" "z@x.cn"},
      {"[{{空}}]", "[]"},
      {"[{{缺少}}]", "[]"},  // checked before the run; merged as nothing
      {"{{姓名", "{{姓名"},
      {"{{}}", "{{}}"},
      {"a}}b{{", "a}}b{{"},
      {"{{{姓名}}}", "{张三}"},
      {"{{x {{姓名}}", "{{x 张三"},
      {"", ""},
  };
  const CFieldRow row = Row();
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ToUtf8(MergeFields(FromUtf8(c.text), row)), c.merged) << c.text;
    // A plain address list (no row) replaces nothing.
    EXPECT_EQ(CMergeText(FromUtf8(c.text), false).Merge(nullptr), FromUtf8(c.text));
  }
}

TEST(MergeFieldsTest, TrailBytesThatReadAsBracesAreNoBraces) {
  // "\x81{" and "\x81}" are double-byte GBK characters whose trail byte is a brace.
  const std::string text = "\x81{{Email}}\x81}}";
  EXPECT_EQ(MergeFields(text, Row()), "\x81{{Email}}\x81}}");
  EXPECT_EQ(MergeFields("\x81\x7B{{Email}}", Row()), "\x81\x7Bz@x.cn");
  // In UTF-8 every byte of a character is above 0x7F: a brace is a brace.
  const CFieldRow row = Row();
  EXPECT_EQ(CMergeText("\xE4\xB8\xAD{{Email}}", true).Merge(&row), "\xE4\xB8\xADz@x.cn");
  EXPECT_EQ(CMergeText("{{\xE5\xA7\x93\xE5\x90\x8D}}", true).Merge(&row), FromUtf8("张三"));
}

TEST(MergeFieldsTest, FiltersCellsAndListsFieldsOnce) {
  const CellFilter upper = [](const std::string& cell) { return "<" + cell + ">"; };
  EXPECT_EQ(MergeFields("{{Email}}", Row(), upper), "<z@x.cn>");
  const std::vector<std::string> used = FieldsUsed(FromUtf8("{{公司}}{{ 姓名 }}{{公司}}{{x"));
  EXPECT_EQ(used, (std::vector<std::string>{FromUtf8("公司"), FromUtf8("姓名")}));
  EXPECT_EQ(*Row().Find(FromUtf8(" 公司 ")), FromUtf8("飞鸿"));
  EXPECT_EQ(Row().Find("Mail"), nullptr);
}

}  // namespace
}  // namespace message
