// The address table's CSV reader. Cells of any bytes, quoted as the record
// quotes them (CsvField), split back unchanged; and any file at all is read
// to a table whose every row has an address line, or refused with a reason,
// the same whether every bad row is asked for or only the first.
#include <string>
#include <vector>

#include "addresses/address_table.h"
#include "dispatch/send_record.h"
#include "fuzz_support.h"

namespace {

void CheckRoundTrip(fuzz::CInput& input) {
  std::vector<std::vector<std::string>> written;
  std::string text;
  while (!input.Empty() && written.size() < 6) {
    std::vector<std::string> record;
    const int cells = 1 + input.Byte() % 4;
    for (int i = 0; i < cells; ++i) record.push_back(input.Text());
    for (std::size_t i = 0; i < record.size(); ++i) text += (i ? "," : "") + CsvField(record[i]);
    text += (input.Byte() & 1) ? "\r\n" : "\n";
    written.push_back(std::move(record));
  }
  FUZZ_CHECK(addresses::SplitCsv(text) == written);
}

void CheckTable(const std::string& bytes) {
  addresses::CAddressTable table;
  std::string error;
  const bool read = table.Parse(bytes, "t.csv", error);
  FUZZ_CHECK(read == error.empty());
  addresses::CAddressTable everyRow;
  std::vector<std::string> rowErrors;
  std::string everyError;
  const bool readEvery = everyRow.Parse(bytes, "t.csv", everyError, &rowErrors);
  if (read) {
    FUZZ_CHECK(readEvery && rowErrors.empty());
    FUZZ_CHECK(everyRow.Rows().size() == table.Rows().size());
  } else {
    // The first bad row is the one the plain read names.
    FUZZ_CHECK(readEvery ? !rowErrors.empty() && rowErrors.front() == error : everyError == error);
  }
  if (!read) return;
  const int columns = static_cast<int>(table.Titles().size());
  FUZZ_CHECK(table.AddressColumn() >= 0 && table.AddressColumn() < columns);
  FUZZ_CHECK(table.NameColumn() < columns && table.SubjectColumn() < columns);
  int last = 0;
  for (const addresses::TableRow& row : table.Rows()) {
    FUZZ_CHECK(row.m_nRow == last + 1);
    last = row.m_nRow;
    FUZZ_CHECK(!row.m_strLine.empty());
    FUZZ_CHECK(row.m_strLine.find('\0') == std::string::npos);
    FUZZ_CHECK(row.m_strLine.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(static_cast<int>(row.m_fields.Cells().size()) == columns);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CInput input(data, size);
  if ((input.Byte() & 1) != 0) {
    CheckRoundTrip(input);
  } else {
    CheckTable(input.Rest());
  }
  return 0;
}
