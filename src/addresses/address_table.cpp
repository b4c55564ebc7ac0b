#include "addresses/address_table.h"

#include <cstddef>
#include <string>
#include <utility>

#include "platform/codepage.h"
#include "platform/journal_file.h"

namespace addresses {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";
constexpr char kSeparator = ';';

struct TableTexts {
  std::string m_strTable = platform::FromUtf8("地址表 ");
  std::string m_strCannotRead = platform::FromUtf8("无法读取地址表 ");
  std::string m_strNoHeader = platform::FromUtf8(" 没有标题行。");
  std::string m_strNoAddressColumn =
      platform::FromUtf8(" 没有邮件地址列 (标题为 邮箱、电子邮件、邮件地址、邮件、Email、E-mail 或 Mail 的列, "
                         "或第一行含有 @ 的列)。");
  std::string m_strRow = platform::FromUtf8(" 第 ");
  std::string m_strNoAddress = platform::FromUtf8(" 行没有邮件地址。");
  std::string m_strEnd = platform::FromUtf8("。");
  // Column titles, compared trimmed and without regard to ASCII letter case.
  std::vector<std::string> m_addressTitles = {
      platform::FromUtf8("邮箱"), platform::FromUtf8("电子邮件"), platform::FromUtf8("邮件地址"),
      platform::FromUtf8("邮件"), "email", "e-mail", "mail"};
  std::vector<std::string> m_nameTitles = {platform::FromUtf8("姓名"), "name"};
  std::vector<std::string> m_subjectTitles = {platform::FromUtf8("主题"), "subject"};
};

const TableTexts& T() {
  static const TableTexts texts;
  return texts;
}

std::string Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return std::string();
  const std::size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The first column whose title is one of `names`; -1 when none is.
int FindTitle(const std::vector<std::string>& titles, const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < titles.size(); ++i) {
    const std::string title = AsciiLower(titles[i]);
    for (const std::string& name : names) {
      if (title == name) return static_cast<int>(i);
    }
  }
  return -1;
}

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing beyond U+10FFFF), and whether it holds a byte above 0x7F.
bool IsUtf8(std::string_view text, bool& nonAscii) {
  nonAscii = false;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto byte = static_cast<unsigned char>(text[i + k]);
      const unsigned char min = k == 1 ? low : 0x80;
      const unsigned char max = k == 1 ? high : 0xBF;
      if (byte < min || byte > max) return false;
    }
    i += length;
  }
  return true;
}

bool FullyEmpty(const std::vector<std::string>& record) {
  for (const std::string& cell : record) {
    if (!Trim(cell).empty()) return false;
  }
  return true;
}

// A display name made safe for the address-list form and the To line: no
// "<", ">", ";" or quote, nor "," or ":" (an ASCII name stands unquoted on the
// To line, where they would split it or start a group), line breaks as
// blanks, trimmed.
std::string CleanName(std::string_view cell) {
  std::string name;
  for (const char c : cell) {
    if (c == '<' || c == '>' || c == kSeparator || c == '"' || c == ',' || c == ':') continue;
    name += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return Trim(name);
}

// The address cell as an address-list line: every address (separated by
// ";" or line breaks) with the row's name before it, unless the entry names
// its own ("李四<b@x.com>"). "" when the cell holds no address.
std::string AddressLine(std::string_view cell, const std::string& name) {
  std::string line;
  std::size_t at = 0;
  while (at <= cell.size()) {
    std::size_t end = cell.find_first_of(";\r\n", at);
    if (end == std::string_view::npos) end = cell.size();
    const std::string entry = Trim(cell.substr(at, end - at));
    at = end + 1;
    if (entry.empty()) continue;
    if (!line.empty()) line += kSeparator;
    if (name.empty() || entry.find('<') != std::string::npos) {
      line += entry;
    } else {
      line += name + "<" + entry + ">";
    }
  }
  return line;
}

}  // namespace

bool IsTableName(std::string_view name) {
  constexpr std::string_view kExtension = ".csv";
  return name.size() >= kExtension.size() &&
         AsciiLower(std::string(name.substr(name.size() - kExtension.size()))) == kExtension;
}

std::string TableTextToCodePage(std::string bytes) {
  if (std::string_view(bytes).starts_with(kUtf8Mark)) {
    return platform::FromUtf8(std::string_view(bytes).substr(kUtf8Mark.size()));
  }
  bool nonAscii = false;
  if (IsUtf8(bytes, nonAscii) && nonAscii) return platform::FromUtf8(bytes);
  return bytes;
}

std::vector<std::vector<std::string>> SplitCsv(std::string_view text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string cell;
  bool quoted = false;    // inside a quoted part of the cell
  bool anything = false;  // the record has begun
  auto endCell = [&] {
    record.push_back(std::move(cell));
    cell.clear();
  };
  auto endRecord = [&] {
    endCell();
    records.push_back(std::move(record));
    record.clear();
    anything = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == '"' && cell.empty()) {
      quoted = true;
      anything = true;
    } else if (c == ',') {
      endCell();
      anything = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRecord();
    } else {
      cell += c;
      anything = true;
    }
  }
  if (anything || !cell.empty()) endRecord();
  return records;
}

bool CAddressTable::Read(const std::filesystem::path& file, std::string& error,
                         std::vector<std::string>* rowErrors) {
  const std::string name = platform::PathToCodePage(file.filename());
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes)) {
    *this = CAddressTable();
    error = T().m_strCannotRead + name + T().m_strEnd;
    return false;
  }
  return Parse(std::move(bytes), name, error, rowErrors);
}

bool CAddressTable::Parse(std::string bytes, const std::string& name, std::string& error,
                          std::vector<std::string>* rowErrors) {
  *this = CAddressTable();
  const std::string table = T().m_strTable + name;
  std::vector<std::vector<std::string>> records = SplitCsv(TableTextToCodePage(std::move(bytes)));
  std::size_t at = 0;
  while (at < records.size() && FullyEmpty(records[at])) ++at;
  if (at == records.size()) {
    error = table + T().m_strNoHeader;
    return false;
  }
  for (const std::string& title : records[at]) m_titles.push_back(Trim(title));
  ++at;
  std::vector<std::vector<std::string>> data;
  for (; at < records.size(); ++at) {
    if (FullyEmpty(records[at])) continue;
    std::vector<std::string> cells = std::move(records[at]);
    cells.resize(m_titles.size());  // missing cells empty, extra cells dropped
    for (std::string& cell : cells) {
      // A NUL would end the line of addresses early; no cell needs one.
      std::erase(cell, '\0');
      cell = Trim(cell);
    }
    data.push_back(std::move(cells));
  }

  m_nAddress = FindTitle(m_titles, T().m_addressTitles);
  if (m_nAddress < 0 && !data.empty()) {
    for (std::size_t i = 0; i < m_titles.size(); ++i) {
      if (data.front()[i].find('@') != std::string::npos) {
        m_nAddress = static_cast<int>(i);
        break;
      }
    }
  }
  if (m_nAddress < 0) {
    *this = CAddressTable();
    error = table + T().m_strNoAddressColumn;
    return false;
  }
  m_nName = FindTitle(m_titles, T().m_nameTitles);
  m_nSubject = FindTitle(m_titles, T().m_subjectTitles);

  m_rows.reserve(data.size());
  int number = 0;
  for (std::vector<std::string>& cells : data) {
    TableRow row;
    row.m_nRow = ++number;
    const std::string displayName = m_nName < 0 ? std::string() : CleanName(cells[m_nName]);
    row.m_strLine = AddressLine(cells[m_nAddress], displayName);
    if (row.m_strLine.empty()) {
      const std::string problem = table + T().m_strRow + std::to_string(row.m_nRow) + T().m_strNoAddress;
      if (rowErrors != nullptr) {
        rowErrors->push_back(problem);
        continue;
      }
      *this = CAddressTable();
      error = problem;
      return false;
    }
    if (m_nSubject >= 0) row.m_strSubject = cells[m_nSubject];
    for (std::size_t i = 0; i < m_titles.size(); ++i) row.m_fields.Add(m_titles[i], std::move(cells[i]));
    m_rows.push_back(std::move(row));
  }
  return true;
}

}  // namespace addresses
