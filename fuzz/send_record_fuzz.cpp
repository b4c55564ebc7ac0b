// The record's CSV, written and read back: fields of any bytes written with
// CsvField and joined as the record joins them come back unchanged, and any
// text at all is read to its end without reading past it.
#include <string>
#include <vector>

#include "dispatch/send_record.h"
#include "dispatch/send_record_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  const bool asFields = (input.Byte() & 1) != 0;
  if (!asFields) {
    const std::string text = input.Rest();
    std::size_t at = 0;
    std::vector<std::string> fields;
    std::size_t records = 0;
    while (ReadCsvRecord(text, at, fields)) {
      FUZZ_CHECK(at <= text.size());
      FUZZ_CHECK(!fields.empty());
      FUZZ_CHECK(++records <= text.size());
    }
    return 0;
  }
  std::vector<std::string> written;
  while (!input.Empty() && written.size() < 8) written.push_back(input.Text());
  if (written.empty()) written.emplace_back();
  std::string row;
  for (std::size_t i = 0; i < written.size(); ++i) row += (i ? "," : "") + CsvField(written[i]);
  row += "\r\n";
  const std::string text = row + row;
  std::size_t at = 0;
  for (int copy = 0; copy < 2; ++copy) {
    std::vector<std::string> read;
    FUZZ_CHECK(ReadCsvRecord(text, at, read));
    FUZZ_CHECK(read == written);
  }
  FUZZ_CHECK(at == text.size());
  return 0;
}
