// The record of a keep-going run: "发送记录/YYYYMMDD-HHMMSS.csv" under the
// start directory, named after the run's start in the program's clock
// (UTC+8), in the code page with RFC 4180 quoting, a header row and one row
// per mail file x recipient, appended as each outcome becomes final (a run
// that is killed keeps its rows; nothing is held in memory). Beside it,
// "YYYYMMDD-HHMMSS-未送达.txt" lists every recipient not delivered, once
// each, in the address list's form.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_set>

#include "dispatch/delivery_verdict.h"
#include "platform/clock.h"
#include "platform/journal_file.h"

// The record folder's name, in the code page.
const std::string& RecordFolderName();

// One field of a CSV row: quoted when it holds a comma, a quote, CR or LF
// (quotes doubled), else as it stands.
std::string CsvField(const std::string& text);

// "name<address>" or the bare address: one entry of the address list's form.
std::string RecipientEntry(const std::string& name, const std::string& address);

class CSendRecord {
 public:
  // Makes the folder when missing and starts both files for a run that
  // started at `start` (UTC); false when they cannot be written (the run
  // then goes on without them).
  bool Open(const std::filesystem::path& startDir, const platform::UtcTime& start);
  // One final row, with the time it became final.
  void Row(const std::string& mailFile, const std::string& name, const std::string& address,
           RecipientResult result, const std::string& reply, int attempts);
  void Close();

  // "发送记录/YYYYMMDD-HHMMSS.csv" (native separator), as the report line
  // names it; "" when no record is kept.
  const std::string& Name() const { return m_strName; }
  // The full path in the code page; "" when no record is kept.
  const std::string& PathText() const { return m_strPath; }

 private:
  platform::CJournalFile m_csv;
  platform::CJournalFile m_undelivered;
  std::unordered_set<std::string> m_listed;  // keys of the undelivered listed so far
  std::string m_strName;
  std::string m_strPath;
};
