// Address tables as spreadsheets save them: the bytes (GBK, UTF-8 with and
// without a mark), RFC 4180 quoting, the columns found by their titles, and
// the errors that stop a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "addresses/address_source.h"
#include "addresses/address_table.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace {

using addresses::CAddressTable;
using addresses::SplitCsv;
using platform::FromUtf8;

const std::string kMark = "\xEF\xBB\xBF";

TEST(SplitCsv, FollowsRfc4180AndExcel) {
  using Records = std::vector<std::vector<std::string>>;
  struct Case {
    const char* name;
    std::string text;
    Records records;
  };
  const Case cases[] = {
      {"plain", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"no last line end", "a,b\nc", {{"a", "b"}, {"c"}}},
      {"bare CR", "a\rb\r", {{"a"}, {"b"}}},
      {"comma in quotes", "\"x, y\",z\n", {{"x, y", "z"}}},
      {"doubled quotes", "\"say \"\"hi\"\"\",\"\"\n", {{"say \"hi\"", ""}}},
      {"line breaks in quotes", "\"one\r\ntwo\nthree\",4\r\n", {{"one\r\ntwo\nthree", "4"}}},
      {"quote inside a plain cell", "5\"6,x\n", {{"5\"6", "x"}}},
      {"empty cells", ",,\n", {{"", "", ""}}},
      {"empty line", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
      {"unclosed quote runs to the end", "\"a,b\nc", {{"a,b\nc"}}},
      {"nothing", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SplitCsv(c.text), c.records);
  }
}

TEST(TableText, TellsTheEncodingByItsBytes) {
  const std::string gbk = FromUtf8("姓名,邮箱");
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"UTF-8 with a mark", kMark + "姓名,邮箱", gbk},
      {"UTF-8 without a mark", "姓名,邮箱", gbk},
      {"GBK", gbk, gbk},
      {"ASCII", "Name,Email", "Name,Email"},
      {"a mark before ASCII", kMark + "Name", "Name"},
      // GBK bytes that happen to start a UTF-8 sequence but do not finish one.
      {"GBK that looks like UTF-8 at first", FromUtf8("张三"), FromUtf8("张三")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(addresses::TableTextToCodePage(c.bytes), c.text);
  }
}

struct RowExpect {
  std::string line;     // UTF-8
  std::string subject;  // UTF-8
};

struct TableCase {
  const char* name;
  std::string bytes;  // as on disk
  int address, displayName, subject;
  std::vector<RowExpect> rows;
};

TEST(AddressTable, FindsColumnsAndBuildsEachRowsLine) {
  const TableCase cases[] = {
      {"titles in Chinese, UTF-8 with a mark",
       kMark + "姓名,邮箱,公司\r\n张三,a@x.cn,甲\r\n李四,b@x.cn,乙\r\n",
       1, 0, -1, {{"张三<a@x.cn>", ""}, {"李四<b@x.cn>", ""}}},
      {"UTF-8 without a mark", "姓名,邮箱\n张三,a@x.cn\n", 1, 0, -1, {{"张三<a@x.cn>", ""}}},
      {"GBK with a subject column", FromUtf8("邮件地址,主题\r\na@x.cn,您好\r\nb@x.cn,\r\n"),
       0, -1, 1, {{"a@x.cn", "您好"}, {"b@x.cn", ""}}},
      {"English titles in any case and blanks", " E-Mail ,NAME,Subject\na@x.cn,Ann,Hi\n",
       0, 1, 2, {{"Ann<a@x.cn>", "Hi"}}},
      {"no titled column: the first with an @", "who,where\nAnn,a@x.cn\nBob,b@x.cn\n",
       1, -1, -1, {{"a@x.cn", ""}, {"b@x.cn", ""}}},
      {"several addresses in a cell each get the name",
       "Name,Mail\nAnn,\"a@x.cn; c@x.cn;\"\n", 1, 0, -1, {{"Ann<a@x.cn>;Ann<c@x.cn>", ""}}},
      {"an entry with its own name keeps it", "Name,Mail\nAnn,Bob<b@x.cn>;a@x.cn\n",
       1, 0, -1, {{"Bob<b@x.cn>;Ann<a@x.cn>", ""}}},
      {"names lose what would break the line", "Name,Mail\n\"<\"\"A;nn\"\">\",a@x.cn\n",
       1, 0, -1, {{"Ann<a@x.cn>", ""}}},
      {"names lose what would split the To line", "Name,Mail\n\"Smith, J: Ann\",a@x.cn\n",
       1, 0, -1, {{"Smith J Ann<a@x.cn>", ""}}},
      {"an empty name gives the bare address", "Name,Mail\n,a@x.cn\n", 1, 0, -1,
       {{"a@x.cn", ""}}},
      {"fewer and more cells than titles", "Mail,Name,x\na@x.cn\nb@x.cn,Bob,1,2,3\n",
       0, 1, -1, {{"a@x.cn", ""}, {"Bob<b@x.cn>", ""}}},
      {"empty rows and leading empty lines are passed by",
       "\r\n,,\r\nMail,x\r\n,\r\na@x.cn,1\r\n\r\n", 0, -1, -1, {{"a@x.cn", ""}}},
      {"a header and no rows", "Email\n", 0, -1, -1, {}},
  };
  for (const TableCase& c : cases) {
    SCOPED_TRACE(c.name);
    CAddressTable table;
    std::string error;
    ASSERT_TRUE(table.Parse(c.bytes, "t.csv", error)) << error;
    EXPECT_EQ(table.AddressColumn(), c.address);
    EXPECT_EQ(table.NameColumn(), c.displayName);
    EXPECT_EQ(table.SubjectColumn(), c.subject);
    ASSERT_EQ(table.Rows().size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      const addresses::TableRow& row = table.Rows()[i];
      EXPECT_EQ(row.m_nRow, static_cast<int>(i) + 1);
      EXPECT_EQ(row.m_strLine, FromUtf8(c.rows[i].line));
      EXPECT_EQ(row.m_strSubject, FromUtf8(c.rows[i].subject));
      EXPECT_EQ(row.m_fields.Cells().size(), table.Titles().size());
    }
  }
}

TEST(AddressTable, CellsFillTheFieldsByTitle) {
  CAddressTable table;
  std::string error;
  ASSERT_TRUE(table.Parse("姓名,邮箱,公司,备注\n 张三 ,a@x.cn,\"甲,乙\"\n", "t.csv", error));
  const message::CFieldRow& fields = table.Rows().at(0).m_fields;
  ASSERT_NE(fields.Find(FromUtf8("公司")), nullptr);
  EXPECT_EQ(*fields.Find(FromUtf8("公司")), FromUtf8("甲,乙"));
  EXPECT_EQ(*fields.Find(FromUtf8("姓名")), FromUtf8("张三"));
  ASSERT_NE(fields.Find(FromUtf8("备注")), nullptr);
  EXPECT_EQ(*fields.Find(FromUtf8("备注")), "");  // a missing cell is an empty one
  EXPECT_EQ(fields.Find(FromUtf8("电话")), nullptr);
}

TEST(AddressTable, StopsOnWhatNoRunCanUse) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* error;  // UTF-8
  };
  const Case cases[] = {
      {"empty file", "", "地址表 客户.csv 没有标题行。"},
      {"only empty lines", "\r\n,\r\n", "地址表 客户.csv 没有标题行。"},
      {"no address column", "姓名,公司\n张三,甲\n",
       "地址表 客户.csv 没有邮件地址列 (标题为 邮箱、电子邮件、邮件地址、邮件、Email、E-mail 或 Mail "
       "的列, 或第一行含有 @ 的列)。"},
      {"no titled column and no @ in the first row", "a,b\nx,y\nz,w@v\n",
       "地址表 客户.csv 没有邮件地址列 (标题为 邮箱、电子邮件、邮件地址、邮件、Email、E-mail 或 Mail "
       "的列, 或第一行含有 @ 的列)。"},
      {"an empty address cell", "姓名,邮箱\n张三,a@x.cn\n李四,b@x.cn\n王五, ;\n",
       "地址表 客户.csv 第 3 行没有邮件地址。"},
      {"a row too short for its address", "姓名,公司,邮箱\n张三,甲,a@x.cn\n李四,乙\n",
       "地址表 客户.csv 第 2 行没有邮件地址。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAddressTable table;
    std::string error;
    EXPECT_FALSE(table.Parse(FromUtf8(c.bytes), FromUtf8("客户.csv"), error));
    EXPECT_EQ(error, FromUtf8(c.error));
    EXPECT_TRUE(table.Rows().empty());
  }
}

TEST(AddressTable, ReadsAFileAndNamesOneItCannotRead) {
  testsupport::CTempDir dir;
  dir.WriteFile("客户.csv", kMark + "姓名,邮箱\r\n张三,a@x.cn\r\n");
  CAddressTable table;
  std::string error;
  ASSERT_TRUE(table.Read(dir.Path() / std::filesystem::u8path("客户.csv"), error)) << error;
  EXPECT_EQ(table.Rows().at(0).m_strLine, FromUtf8("张三<a@x.cn>"));
  EXPECT_FALSE(table.Read(dir.Path() / std::filesystem::u8path("无.csv"), error));
  EXPECT_EQ(error, FromUtf8("无法读取地址表 无.csv。"));
}

TEST(AddressSource, GivesPlainLinesAndTableRowsAlike) {
  EXPECT_TRUE(addresses::IsTableName("a.CSV"));
  EXPECT_FALSE(addresses::IsTableName("a.csv.txt"));
  testsupport::CTempDir dir;
  dir.WriteFile("list.txt", "  a@x.cn \r\n\r\n \t\r\nB<b@x.cn>;c@x.cn");
  dir.WriteFile("t.csv", "Name,Email,Subject\nAnn,a@x.cn,Hi\n,,\nBob,b@x.cn,\n");
  struct Case {
    const char* file;
    std::vector<std::string> lines;
    std::vector<std::string> subjects;
    bool fields;
  };
  const Case cases[] = {
      {"list.txt", {"a@x.cn", "B<b@x.cn>;c@x.cn"}, {"", ""}, false},
      {"t.csv", {"Ann<a@x.cn>", "Bob<b@x.cn>"}, {"Hi", ""}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    addresses::CAddressSource source;
    std::string error;
    ASSERT_TRUE(source.Open(dir.Path() / c.file, c.file, error)) << error;
    EXPECT_EQ(source.Table() != nullptr, c.fields);
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<std::string> lines;
      std::vector<std::string> subjects;
      addresses::AddressEntry entry;
      while (source.Next(entry)) {
        EXPECT_EQ(entry.m_nNumber, static_cast<int>(lines.size()) + 1);
        EXPECT_EQ(entry.m_pFields != nullptr, c.fields);
        lines.push_back(entry.m_strLine);
        subjects.push_back(entry.m_strSubject);
      }
      EXPECT_EQ(lines, c.lines);
      EXPECT_EQ(subjects, c.subjects);
      ASSERT_TRUE(source.Rewind(error));
    }
  }
  addresses::CAddressSource missing;
  std::string error;
  EXPECT_FALSE(missing.Open(dir.Path() / "none.txt", "none.txt", error));
  EXPECT_EQ(error, FromUtf8("无法打开邮件地址列表文件."));
}

}  // namespace
