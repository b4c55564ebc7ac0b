// An address list saved from a spreadsheet: a file whose name ends in ".csv"
// is an RFC 4180 table with a header row, in GBK or UTF-8 (with or without a
// byte-order mark), as Excel and WPS save a sheet. Each data row is one
// message; its cells fill the message's fields.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "message/merge_fields.h"

namespace addresses {

// Whether an address list of this name (code page) is read as a table.
bool IsTableName(std::string_view name);

struct TableRow {
  int m_nRow = 0;              // 1 for the first data row
  std::string m_strLine;       // the row's recipients as an address-list line
  std::string m_strSubject;    // the 主题/Subject cell; "" keeps the run's subject
  message::CFieldRow m_fields; // every column's title and cell
};

class CAddressTable {
 public:
  // Reads the whole table, converting UTF-8 to the code page. False, with
  // `error` in the code page naming the file or the row, when the file cannot
  // be read, has no header row or no address column, or a row's address cell
  // is empty. With `rowErrors` (a look at every problem), a row without an
  // address is left out and named there instead, and the rest is kept.
  bool Read(const std::filesystem::path& file, std::string& error,
            std::vector<std::string>* rowErrors = nullptr);
  // The same for the file's bytes; `name` (code page) names it in errors.
  bool Parse(std::string bytes, const std::string& name, std::string& error,
             std::vector<std::string>* rowErrors = nullptr);

  const std::vector<std::string>& Titles() const { return m_titles; }
  const std::vector<TableRow>& Rows() const { return m_rows; }
  // The column the addresses are taken from, the display names (-1: none)
  // and the subjects (-1: none).
  int AddressColumn() const { return m_nAddress; }
  int NameColumn() const { return m_nName; }
  int SubjectColumn() const { return m_nSubject; }

 private:
  std::vector<std::string> m_titles;
  std::vector<TableRow> m_rows;
  int m_nAddress = -1;
  int m_nName = -1;
  int m_nSubject = -1;
};

// The bytes of a table in the code page: without a UTF-8 byte-order mark
// and converted when they are UTF-8 (the mark, or valid UTF-8 holding a
// byte above 0x7F); otherwise taken as GBK, as they stand.
std::string TableTextToCodePage(std::string bytes);

// Splits CSV text (already in the code page) into records of cells by RFC
// 4180: quoted cells may hold commas, doubled quotes and line breaks; CR LF,
// LF and CR end a record. Lenient where Excel is: a quote inside an unquoted
// cell is kept as a character.
std::vector<std::vector<std::string>> SplitCsv(std::string_view text);

}  // namespace addresses
