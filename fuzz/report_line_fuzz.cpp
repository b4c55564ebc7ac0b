// The report page's line splitter over any line, and the round trip of a
// record as the run writes it: the page shows the counts and the status that
// were written.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "dispatch/run_report.h"
#include "fuzz_support.h"
#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const std::string line = input.Text();
  ReportFields fields;
  const std::string trimmed = TrimWhiteSpace(line);
  FUZZ_CHECK(SplitReportLine(line, fields) == !trimmed.empty());
  if (!trimmed.empty()) {
    // The fields cut off, joined again by their commas, and the status give
    // back the trimmed line; fields left without a comma stay empty.
    const std::string* cut[] = {&fields.m_strDate, &fields.m_strTime, &fields.m_strMailCount,
                                &fields.m_strAddressCount};
    const auto commas = static_cast<std::size_t>(std::count(trimmed.begin(), trimmed.end(), ','));
    std::string joined;
    for (std::size_t i = 0; i < 4; ++i) {
      if (i < commas) {
        joined += *cut[i] + ",";
      } else {
        FUZZ_CHECK(cut[i]->empty());
      }
    }
    FUZZ_CHECK(joined + fields.m_strStatus == trimmed);
  }

  platform::UtcTime utc;
  utc.year = 1970 + input.Byte() * 31;
  utc.month = 1 + input.Byte() % 12;
  utc.day = 1 + input.Byte() % 28;
  utc.hour = input.Byte() % 24;
  utc.minute = input.Byte() % 60;
  std::int32_t counts[2] = {};
  for (std::int32_t& count : counts) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits = bits << 8 | input.Byte();
    std::memcpy(&count, &bits, sizeof count);
  }
  std::string error = input.Text();
  std::erase_if(error, [](char c) { return c == '\r' || c == '\n'; });  // errors are one line
  const std::string record = FormatReportRecord(utc, counts[0], counts[1], error);
  FUZZ_CHECK(record[0] == '\n' && record.find('\n', 1) == std::string::npos);
  ReportFields back;
  FUZZ_CHECK(SplitReportLine(record, back));
  FUZZ_CHECK(TrimWhiteSpace(back.m_strMailCount) == std::to_string(counts[0]));
  FUZZ_CHECK(TrimWhiteSpace(back.m_strAddressCount) == std::to_string(counts[1]));
  const std::string status = error.empty() ? platform::FromUtf8("成功") : error;
  FUZZ_CHECK(TrimWhiteSpace(back.m_strStatus) == TrimWhiteSpace(status));
  return 0;
}
