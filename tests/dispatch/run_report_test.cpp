#include "dispatch/run_report.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/codepage.h"

namespace {

platform::UtcTime At(int year, int month, int day, int hour, int minute) {
  platform::UtcTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  return t;
}

TEST(RunReport, RecordIsBlankPaddedUtcPlus8) {
  const std::string ok = platform::FromUtf8("成功");
  EXPECT_EQ(FormatReportRecord(At(2003, 12, 31, 23, 30), 3, 2, ""),
            "\n2004- 1- 1 ,  7:30 , 3 , 2 , " + ok);
  EXPECT_EQ(FormatReportRecord(At(2003, 11, 8, 1, 5), 0, 0, ""), "\n2003-11- 8 ,  9: 5 , 0 , 0 , " + ok);
  // An error becomes the status as it stands.
  EXPECT_EQ(FormatReportRecord(At(2010, 6, 15, 4, 0), 2, 2, "550:SMTP server error"),
            "\n2010- 6-15 , 12: 0 , 2 , 2 , 550:SMTP server error");
}

TEST(RunReport, DateRollsOverFromUtcHour16) {
  EXPECT_EQ(UtcPlus8(At(2003, 5, 7, 15, 59)).day, 7);
  const platform::UtcTime leap = UtcPlus8(At(2004, 2, 28, 16, 0));
  EXPECT_EQ(leap.month * 100 + leap.day, 229);
  EXPECT_EQ(leap.hour, 0);
  const platform::UtcTime plain = UtcPlus8(At(2003, 2, 28, 20, 0));
  EXPECT_EQ(plain.month * 100 + plain.day, 301);
  EXPECT_EQ(platform::HourUtcPlus8(15), 23);
  EXPECT_EQ(platform::HourUtcPlus8(16), 0);
  EXPECT_EQ(platform::HourUtcPlus8(23), 7);
}

TEST(RunReport, SplitsLinesAsThePageShowsThem) {
  ReportFields f;
  ASSERT_TRUE(SplitReportLine("2004- 1- 1 ,  7:30 , 3 , 2 , ok\r", f));
  EXPECT_EQ(f.m_strDate, "2004- 1- 1 ");
  EXPECT_EQ(f.m_strTime, "  7:30 ");
  EXPECT_EQ(f.m_strMailCount, " 3 ");
  EXPECT_EQ(f.m_strAddressCount, " 2 ");
  EXPECT_EQ(f.m_strStatus, " ok");

  // Without commas the whole line is the status; extra commas stay in it.
  ASSERT_TRUE(SplitReportLine("  abc\t", f));
  EXPECT_EQ(f.m_strDate + f.m_strTime + f.m_strMailCount + f.m_strAddressCount, "");
  EXPECT_EQ(f.m_strStatus, "abc");
  ASSERT_TRUE(SplitReportLine("a,b,c,d,e,f", f));
  EXPECT_EQ(f.m_strAddressCount, "d");
  EXPECT_EQ(f.m_strStatus, "e,f");
  // Two commas: two fields cut, the other two empty, the rest is the status.
  ASSERT_TRUE(SplitReportLine("a,b,c", f));
  EXPECT_EQ(f.m_strTime, "b");
  EXPECT_EQ(f.m_strMailCount, "");
  EXPECT_EQ(f.m_strStatus, "c");

  EXPECT_FALSE(SplitReportLine(" \t\r\n\v\f", f));
}

}  // namespace
