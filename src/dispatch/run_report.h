// The run report file "运行报告.txt": one record per batch run, appended in
// the start directory only while the file exists; and the splitting of its
// lines into the five columns the report page shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/clock.h"

// The report file's name, relative to the working directory, in the code page.
const std::string& ReportFileName();

// UTC moved forward by 8 hours, with the date rolling over at midnight.
platform::UtcTime UtcPlus8(const platform::UtcTime& utc);

// One record: "\n%s , %s , %ld , %ld , %s" with the UTC+8 date "%4d-%2d-%2d",
// time "%2d:%2d" (blank-padded), the two counts and the status: "成功" for an
// empty `error`, else `error` itself.
std::string FormatReportRecord(const platform::UtcTime& utc, std::int32_t mailCount,
                               std::int32_t addressCount, const std::string& error);

// Appends `record` in text mode to the report file in `dir` (the working
// directory when `dir` is empty). Never creates the file; false when it is
// missing or cannot be written.
bool AppendReportRecord(const std::filesystem::path& dir, const std::string& record);

// The five columns of one report line as the report page shows them.
struct ReportFields {
  std::string m_strDate;
  std::string m_strTime;
  std::string m_strMailCount;
  std::string m_strAddressCount;
  std::string m_strStatus;
};

// Splits one line of the report file. The line is trimmed of white space at
// both ends; false (fields untouched) when nothing is left, so blank lines are
// skipped. Then four fields are cut off in turn, each the text before the
// first "," of what remains, which continues after that ","; where no "," is
// left the field is empty and the rest stays whole. The rest is the status,
// commas included. Fields are not trimmed: " , " leaves its blanks on them.
bool SplitReportLine(const std::string& line, ReportFields& fields);

// `text` without leading and trailing space, tab, CR, LF, VT and FF.
std::string TrimWhiteSpace(const std::string& text);
