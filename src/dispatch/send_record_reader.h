// Reading a run's record back: its rows for the report page and for sending
// again what did not arrive, the record a report line names, and the newest
// record of a start directory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dispatch/delivery_verdict.h"

struct RecordRow {
  std::string m_strTime;
  std::string m_strMailFile;  // bare name in the mail folder (code page)
  std::string m_strRecipient;  // the address list's form: "name<address>" or the address
  std::string m_strName;
  std::string m_strAddress;
  RecipientResult m_result = RecipientResult::NotSent;
  std::string m_strResult;  // the record's word for it
  std::string m_strReply;
  int m_nAttempts = 0;
};

// Splits one CSV record (RFC 4180) at the start of `text` from `at`, moving
// `at` past it; false at the end of the text.
bool ReadCsvRecord(const std::string& text, std::size_t& at, std::vector<std::string>& fields);

// The rows of the record at `path` (native), header left out; rows whose
// result is no known word are left out too. False when it cannot be read.
bool ReadSendRecord(const std::filesystem::path& path, std::vector<RecordRow>& rows);

// The record a report line's status names ("… 发送记录/YYYYMMDD-HHMMSS.csv"),
// under `startDir`; empty when the status names none.
std::filesystem::path RecordPathFromStatus(const std::filesystem::path& startDir,
                                           const std::string& status);

// The newest record under `startDir` (by its name, the run's start); empty
// when there is none.
std::filesystem::path NewestRecord(const std::filesystem::path& startDir);
