#include "addresses/address_source.h"

#include <optional>
#include <utility>

#include "dispatch/run_report.h"
#include "platform/codepage.h"
#include "platform/textfile.h"

namespace addresses {

struct CAddressSource::State {
  std::filesystem::path m_file;
  std::optional<CAddressTable> m_table;  // set for a table
  std::size_t m_nNextRow = 0;
  platform::CTextFileReader m_list;  // a plain list
  int m_nNumber = 0;
};

namespace {

const std::string& CannotOpenList() {
  static const std::string text = platform::FromUtf8("无法打开邮件地址列表文件.");
  return text;
}

}  // namespace

CAddressSource::CAddressSource() : m_state(std::make_unique<State>()) {}
CAddressSource::~CAddressSource() = default;

bool CAddressSource::Open(const std::filesystem::path& file, const std::string& name,
                          std::string& error, std::vector<std::string>* rowErrors) {
  m_state = std::make_unique<State>();
  m_state->m_file = file;
  if (IsTableName(name)) {
    CAddressTable table;
    if (!table.Read(file, error, rowErrors)) return false;
    m_state->m_table = std::move(table);
    return true;
  }
  if (!m_state->m_list.OpenNative(file)) {
    error = CannotOpenList();
    return false;
  }
  return true;
}

bool CAddressSource::Next(AddressEntry& entry) {
  State& state = *m_state;
  if (state.m_table) {
    const std::vector<TableRow>& rows = state.m_table->Rows();
    if (state.m_nNextRow >= rows.size()) return false;
    const TableRow& row = rows[state.m_nNextRow++];
    entry.m_nNumber = row.m_nRow;
    entry.m_strLine = row.m_strLine;
    entry.m_strSubject = row.m_strSubject;
    entry.m_pFields = &row.m_fields;
    return true;
  }
  std::string line;
  while (state.m_list.ReadLine(line)) {
    std::string recipients = TrimWhiteSpace(line);
    if (recipients.empty()) continue;
    entry.m_nNumber = ++state.m_nNumber;
    entry.m_strLine = std::move(recipients);
    entry.m_strSubject.clear();
    entry.m_pFields = nullptr;
    return true;
  }
  return false;
}

bool CAddressSource::Rewind(std::string& error) {
  State& state = *m_state;
  state.m_nNextRow = 0;
  state.m_nNumber = 0;
  if (state.m_table) return true;
  state.m_list.Close();
  if (!state.m_list.OpenNative(state.m_file)) {
    error = CannotOpenList();
    return false;
  }
  return true;
}

const CAddressTable* CAddressSource::Table() const {
  return m_state->m_table ? &*m_state->m_table : nullptr;
}

}  // namespace addresses
