#include "dispatch/send_record_reader.h"

#include <cctype>
#include <cstdlib>

#include "dispatch/send_record.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/journal_file.h"
#include "smtp/mail_item.h"

namespace {

// "YYYYMMDD-HHMMSS.csv"
constexpr std::size_t kStampLength = 15;
const char kCsv[] = ".csv";

bool IsRecordName(const std::string& name) {
  if (name.size() != kStampLength + 4 || name.compare(kStampLength, 4, kCsv) != 0) return false;
  for (std::size_t i = 0; i < kStampLength; ++i) {
    const bool dash = i == 8;
    if (dash ? name[i] != '-' : !std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

}  // namespace

bool ReadCsvRecord(const std::string& text, std::size_t& at, std::vector<std::string>& fields) {
  fields.clear();
  if (at >= text.size()) return false;
  std::string field;
  bool quoted = false;
  while (at < text.size()) {
    const char c = text[at++];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (at < text.size() && text[at] == '"') {
        field += '"';
        ++at;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      break;
    } else if (c != '\r') {
      field += c;
    }
  }
  fields.push_back(std::move(field));
  return true;
}

bool ReadSendRecord(const std::filesystem::path& path, std::vector<RecordRow>& rows) {
  rows.clear();
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return false;
  std::size_t at = 0;
  std::vector<std::string> fields;
  constexpr std::size_t kColumns = 6;
  ReadCsvRecord(text, at, fields);  // the header
  while (ReadCsvRecord(text, at, fields)) {
    if (fields.size() < kColumns) continue;
    RecordRow row;
    if (!ResultFromText(fields[3], row.m_result)) continue;
    row.m_strTime = fields[0];
    row.m_strMailFile = fields[1];
    row.m_strRecipient = fields[2];
    row.m_strResult = fields[3];
    row.m_strReply = fields[4];
    row.m_nAttempts = std::atoi(fields[5].c_str());
    CMailItem entry;
    entry.AddRecipientList(row.m_strRecipient);
    if (!entry.Recipients().empty()) {
      row.m_strName = entry.Recipients().front().m_strName;
      row.m_strAddress = entry.Recipients().front().m_strAddress;
    }
    rows.push_back(std::move(row));
  }
  return true;
}

std::filesystem::path RecordPathFromStatus(const std::filesystem::path& startDir,
                                           const std::string& status) {
  const std::string& folder = RecordFolderName();
  for (std::size_t at = status.find(folder); at != std::string::npos;
       at = status.find(folder, at + 1)) {
    const std::size_t name = at + folder.size() + 1;
    if (name > status.size()) break;
    const char separator = status[at + folder.size()];
    if (separator != '/' && separator != '\\') continue;
    const std::string candidate = status.substr(name, kStampLength + 4);
    if (IsRecordName(candidate)) return startDir / platform::NativePath(folder) / candidate;
  }
  return {};
}

std::filesystem::path NewestRecord(const std::filesystem::path& startDir) {
  const std::filesystem::path folder = startDir / platform::NativePath(RecordFolderName());
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(platform::PathToCodePage(folder), entries)) return {};
  std::string newest;
  for (const platform::DirEntry& entry : entries) {
    if (!entry.m_bDirectory && IsRecordName(entry.m_strName) && entry.m_strName > newest) {
      newest = entry.m_strName;
    }
  }
  return newest.empty() ? std::filesystem::path() : folder / newest;
}
