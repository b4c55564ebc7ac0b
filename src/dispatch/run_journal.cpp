#include "dispatch/run_journal.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sstream>

#include "addresses/address_table.h"
#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "platform/dirs.h"
#include "platform/textfile.h"

namespace {

const char kJournalName[] = "Send.Jnl";
const char kMagic[] = "Postwing send journal 1";
const char kEnd[] = "end";
const char kAcceptedMark = '.';
const char kPendingMark = 'T';
const char kSettledMark = 'F';
const char kAheadMark = '+';

// Names and texts as one word, never empty: "=" and the text, with bytes
// outside printable ASCII, blanks and "%" as "%XX".
std::string Encode(const std::string& text) {
  std::string out = "=";
  for (unsigned char c : text) {
    if (c > 0x20 && c < 0x7F && c != '%') {
      out += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      out += escaped;
    }
  }
  return out;
}

bool Decode(const std::string& word, std::string& text) {
  text.clear();
  if (word.empty() || word[0] != '=') return false;
  for (std::size_t i = 1; i < word.size(); ++i) {
    if (word[i] != '%') {
      text += word[i];
      continue;
    }
    if (i + 2 >= word.size()) return false;
    unsigned value = 0;
    if (std::sscanf(word.substr(i + 1, 2).c_str(), "%2x", &value) != 1) return false;
    text += static_cast<char>(value);
    i += 2;
  }
  return true;
}

std::string StampWords(const platform::FileStamp& stamp) {
  return std::to_string(stamp.m_nSize) + " " + std::to_string(stamp.m_nModified);
}

bool ReadStamp(std::istringstream& in, platform::FileStamp& stamp) {
  return static_cast<bool>(in >> stamp.m_nSize >> stamp.m_nModified);
}

// "+ N": message N taken while an earlier one was still going.
std::string AheadMark(std::int64_t position) {
  return std::string(1, kAheadMark) + " " + std::to_string(position) + "\n";
}

// Reads "+ N" exactly (no more, no less), so that a line cut short and run
// into by a later mark is none.
bool ReadAheadMark(const std::string& line, std::int64_t& position) {
  if (line.size() < 3 || line.compare(0, 2, "+ ") != 0) return false;
  position = 0;
  for (std::size_t i = 2; i < line.size(); ++i) {
    if (line[i] < '0' || line[i] > '9' || position > (INT64_MAX - 9) / 10) return false;
    position = position * 10 + (line[i] - '0');
  }
  return true;
}

// A recipient's line: "T" queued to be tried again, "F" its outcome final.
std::string PendingLine(char mark, const JournalPending& recipient) {
  return std::string(1, mark) + " " + Encode(recipient.m_strMailFile) + " " +
         Encode(recipient.m_strRecipient) + "\n";
}

}  // namespace

std::filesystem::path JournalPath(const std::filesystem::path& startDir) {
  return startDir / "ini" / kJournalName;
}

std::string FormatJournalHeader(const RunInputs& inputs) {
  std::string text = std::string(kMagic) + "\n";
  text += "maildir " + Encode(inputs.m_strMailDir) + "\n";
  text += "address " + Encode(inputs.m_strAddressFile) + " " + StampWords(inputs.m_address) + "\n";
  text += "subject " + Encode(inputs.m_strSubject) + "\n";
  text += "total " + std::to_string(inputs.m_nTotal) + "\n";
  for (const MailFileStamp& file : inputs.m_files) {
    text += "file " + Encode(file.m_strName) + " " + StampWords(file.m_stamp) + "\n";
  }
  return text + kEnd + "\n";
}

bool JournalCount::Add(std::int64_t position) {
  if (position != m_nPrefix) {
    if (position > m_nPrefix) m_ahead.insert(position);
    return false;
  }
  ++m_nPrefix;
  for (auto next = m_ahead.begin(); next != m_ahead.end() && *next == m_nPrefix;
       next = m_ahead.erase(next)) {
    ++m_nPrefix;
  }
  return true;
}

bool ParseJournal(const std::string& text, RunInputs& inputs, std::int64_t& done,
                  std::vector<JournalPending>* pending, JournalCount* count) {
  inputs = RunInputs();
  done = 0;
  JournalCount marks;
  std::size_t at = 0;
  auto nextLine = [&](std::string& line) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos) return false;
    line = text.substr(at, end - at);
    at = end + 1;
    return true;
  };
  std::string line;
  if (!nextLine(line) || line != kMagic) return false;
  for (;;) {
    if (!nextLine(line)) return false;
    if (line == kEnd) break;
    std::istringstream in(line);
    std::string key;
    std::string word;
    in >> key >> word;
    bool ok = static_cast<bool>(in);
    if (key == "maildir") {
      ok = ok && Decode(word, inputs.m_strMailDir);
    } else if (key == "address") {
      ok = ok && Decode(word, inputs.m_strAddressFile) && ReadStamp(in, inputs.m_address);
    } else if (key == "subject") {
      ok = ok && Decode(word, inputs.m_strSubject);
    } else if (key == "total") {
      long long total = 0;
      ok = ok && std::sscanf(word.c_str(), "%lld", &total) == 1;
      inputs.m_nTotal = total;
    } else if (key == "file") {
      MailFileStamp file;
      ok = ok && Decode(word, file.m_strName) && ReadStamp(in, file.m_stamp);
      inputs.m_files.push_back(file);
    } else {
      ok = false;
    }
    if (!ok) return false;
  }
  // Only whole marks count: a machine that stopped while the file grew may
  // leave anything after them.
  std::vector<JournalPending> open;
  while (at < text.size()) {
    if (text[at] == kAcceptedMark) {
      marks.Add(marks.m_nPrefix);
      ++at;
      continue;
    }
    if (text[at] == kAheadMark) {
      const std::size_t start = at;
      std::int64_t position = 0;
      if (!nextLine(line) || !ReadAheadMark(line, position)) {
        at = start;
        break;
      }
      marks.Add(position);
      continue;
    }
    if (text[at] != kPendingMark && text[at] != kSettledMark) break;
    const bool queued = text[at] == kPendingMark;
    ++at;
    if (!nextLine(line)) break;
    std::istringstream in(line);
    std::string file;
    std::string entry;
    JournalPending recipient;
    if (!(in >> file >> entry) || !Decode(file, recipient.m_strMailFile) ||
        !Decode(entry, recipient.m_strRecipient)) {
      break;
    }
    if (queued) {
      open.push_back(std::move(recipient));
    } else {
      const auto found = std::find(open.begin(), open.end(), recipient);
      if (found != open.end()) open.erase(found);
    }
  }
  if (pending != nullptr) *pending = std::move(open);
  done = marks.Accepted();
  if (count != nullptr) *count = std::move(marks);
  return true;
}

bool CountAddressLines(const std::filesystem::path& path, std::int64_t& lines) {
  lines = 0;
  platform::CTextFileReader list;
  if (!list.OpenNative(path)) return false;
  std::string line;
  while (list.ReadLine(line)) {
    if (!TrimWhiteSpace(line).empty()) ++lines;
  }
  return true;
}

RunInputs ReadRunInputs(const std::filesystem::path& startDir, const CMailSource& source) {
  RunInputs inputs;
  inputs.m_strMailDir = source.m_strMailDir;
  inputs.m_strAddressFile = source.m_strAddressFile;
  inputs.m_strSubject = source.m_strSubject;
  std::vector<platform::DirEntry> entries;
  if (!source.m_strMailDir.empty()) {
    const std::filesystem::path folder = platform::FindNativePath(source.m_strMailDir, startDir);
    if (platform::ListDirectory(platform::PathToCodePage(folder), entries)) {
      for (const platform::DirEntry& entry : entries) {
        if (entry.m_bDirectory || entry.m_bSpecial) continue;
        MailFileStamp file;
        file.m_strName = entry.m_strName;
        platform::StampFile(folder / entry.m_native, file.m_stamp);
        inputs.m_files.push_back(file);
      }
    }
  }
  std::int64_t lines = 0;
  if (!source.m_strAddressFile.empty()) {
    const std::filesystem::path list = platform::FindNativePath(source.m_strAddressFile, startDir);
    // A list that is no regular file (a pipe) cannot be read twice: the run
    // goes without a total and without a journal.
    if (!platform::StampFile(list, inputs.m_address)) {
      inputs.m_nTotal = kUnknownTotal;
      return inputs;
    }
    if (addresses::IsTableName(source.m_strAddressFile)) {
      // A table's rows, as the run reads them (a cell may hold line breaks).
      addresses::CAddressTable table;
      std::string error;
      if (table.Read(list, error)) lines = static_cast<std::int64_t>(table.Rows().size());
    } else {
      CountAddressLines(list, lines);
    }
  }
  inputs.m_nTotal = static_cast<std::int64_t>(inputs.m_files.size()) * lines;
  return inputs;
}

bool JournalLeavesWork(std::int64_t done, std::int64_t total,
                       const std::vector<JournalPending>& pending) {
  if (!pending.empty()) return true;
  return done > 0 && done < total;
}

ResumePoint FindResumePoint(const std::filesystem::path& startDir, const CMailSource& source) {
  ResumePoint point;
  std::string text;
  RunInputs journal;
  std::vector<JournalPending> pending;
  if (!platform::ReadWholeFile(JournalPath(startDir), text) ||
      !ParseJournal(text, journal, point.m_nDone, &pending)) {
    return point;
  }
  point.m_nTotal = journal.m_nTotal;
  if (!JournalLeavesWork(point.m_nDone, journal.m_nTotal, pending)) return point;
  point.m_state =
      journal == ReadRunInputs(startDir, source) ? ResumePoint::Same : ResumePoint::Changed;
  return point;
}

bool CRunJournal::Begin(const std::filesystem::path& path, const RunInputs& inputs) {
  m_path = path;
  m_bUnsynced = false;
  m_count = JournalCount();
  m_lastSync = std::chrono::steady_clock::now();
  return m_file.Create(path, FormatJournalHeader(inputs));
}

bool CRunJournal::Continue(const std::filesystem::path& path, const RunInputs& inputs,
                           const JournalCount& count, const std::vector<JournalPending>& pending) {
  m_path = path;
  m_count = count;
  m_bUnsynced = false;
  m_lastSync = std::chrono::steady_clock::now();
  std::string text = FormatJournalHeader(inputs);
  text.append(static_cast<std::size_t>(count.m_nPrefix), kAcceptedMark);
  for (const std::int64_t position : count.m_ahead) text += AheadMark(position);
  for (const JournalPending& recipient : pending) text += PendingLine(kPendingMark, recipient);
  return m_file.Create(path, text);
}

std::string CRunJournal::MarkOf(std::int64_t position) {
  if (m_count.Contains(position)) return std::string();
  if (m_count.Add(position)) return std::string(1, kAcceptedMark);
  return AheadMark(position);
}

void CRunJournal::Accepted(std::int64_t position) {
  const std::string mark = MarkOf(position);
  if (!mark.empty()) AppendMark(mark);
}

void CRunJournal::Note(const std::vector<JournalPending>& settled,
                       const std::vector<JournalPending>& pending,
                       std::optional<std::int64_t> position) {
  std::string marks;
  for (const JournalPending& recipient : settled) marks += PendingLine(kSettledMark, recipient);
  for (const JournalPending& recipient : pending) marks += PendingLine(kPendingMark, recipient);
  if (position) marks += MarkOf(*position);
  if (!marks.empty()) AppendMark(marks);
}

void CRunJournal::AppendMark(std::string_view mark) {
  if (!m_file.IsOpen()) return;
  // A failed write leaves the mark out: the message would be sent again,
  // never skipped.
  m_file.Append(mark);
  m_bUnsynced = true;
  const auto now = std::chrono::steady_clock::now();
  if (now - m_lastSync >= kJournalSyncPeriod) {
    m_file.Sync();
    m_bUnsynced = false;
    m_lastSync = now;
  }
}

void CRunJournal::Remove() {
  m_file.Close();
  if (!m_path.empty()) platform::RemoveFile(m_path);
}

void CRunJournal::Close() {
  if (m_bUnsynced) m_file.Sync();
  m_bUnsynced = false;
  m_file.Close();
}
