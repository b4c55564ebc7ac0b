#include "dispatch/run_report.h"

#include <chrono>
#include <cstdio>

#include "platform/codepage.h"
#include "platform/textfile.h"

const std::string& ReportFileName() {
  static const std::string name = platform::FromUtf8("运行报告.txt");
  return name;
}

platform::UtcTime UtcPlus8(const platform::UtcTime& utc) {
  platform::UtcTime shifted = utc;
  shifted.hour = platform::HourUtcPlus8(utc.hour);
  if (utc.hour + 8 >= 24) {
    using namespace std::chrono;
    const year_month_day next{sys_days{year{utc.year} / month(static_cast<unsigned>(utc.month)) /
                                       day(static_cast<unsigned>(utc.day))} +
                              days{1}};
    shifted.year = static_cast<int>(next.year());
    shifted.month = static_cast<int>(static_cast<unsigned>(next.month()));
    shifted.day = static_cast<int>(static_cast<unsigned>(next.day()));
  }
  return shifted;
}

std::string FormatReportRecord(const platform::UtcTime& utc, std::int32_t mailCount,
                               std::int32_t addressCount, const std::string& error) {
  static const std::string kSuccess = platform::FromUtf8("成功");
  const platform::UtcTime local = UtcPlus8(utc);
  char date[48];
  char time[32];
  char counts[64];
  std::snprintf(date, sizeof date, "%4d-%2d-%2d", local.year, local.month, local.day);
  std::snprintf(time, sizeof time, "%2d:%2d", local.hour, local.minute);
  std::snprintf(counts, sizeof counts, "%ld , %ld", static_cast<long>(mailCount),
                static_cast<long>(addressCount));
  std::string record = "\n";
  record += date;
  record += " , ";
  record += time;
  record += " , ";
  record += counts;
  record += " , ";
  record += error.empty() ? kSuccess : error;
  return record;
}

bool AppendReportRecord(const std::filesystem::path& dir, const std::string& record) {
  const std::filesystem::path name = platform::NativePath(ReportFileName());
  return platform::AppendToExistingNativeTextFile(dir.empty() ? name : dir / name, record);
}

std::string TrimWhiteSpace(const std::string& text) {
  static const char kWhiteSpace[] = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(kWhiteSpace);
  return text.substr(first, last - first + 1);
}

bool SplitReportLine(const std::string& line, ReportFields& fields) {
  std::string rest = TrimWhiteSpace(line);
  if (rest.empty()) return false;
  std::string* cuts[] = {&fields.m_strDate, &fields.m_strTime, &fields.m_strMailCount,
                         &fields.m_strAddressCount};
  for (std::string* field : cuts) {
    const std::size_t comma = rest.find(',');
    if (comma == std::string::npos) {
      field->clear();
      continue;
    }
    *field = rest.substr(0, comma);
    rest.erase(0, comma + 1);
  }
  fields.m_strStatus = rest;
  return true;
}
