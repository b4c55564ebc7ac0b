// The address list a run goes through, one entry at a time: a plain list
// (one line of ";"-separated addresses per message, read as the run goes, so
// a list fed through a pipe is sent as it arrives) or a table (".csv", read
// whole before the first message so that its checks come first).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "addresses/address_table.h"
#include "message/merge_fields.h"

namespace addresses {

struct AddressEntry {
  int m_nNumber = 0;           // the line's or the row's number, from 1
  std::string m_strLine;       // the recipients as an address-list line (trimmed)
  std::string m_strSubject;    // a table row's own subject; "" keeps the run's
  const message::CFieldRow* m_pFields = nullptr;  // a table row's cells; nullptr for a plain list
};

class CAddressSource {
 public:
  CAddressSource();
  ~CAddressSource();

  // Opens the list at `file` (native path); a ".csv" name (`name`, the code
  // page name from the settings) is read whole as a table. False with
  // `error` in the code page. `rowErrors` as CAddressTable::Read takes it.
  bool Open(const std::filesystem::path& file, const std::string& name, std::string& error,
            std::vector<std::string>* rowErrors = nullptr);
  // The next entry with recipients (empty lines are passed by); false at the end.
  bool Next(AddressEntry& entry);
  // From the first entry again, for the next mail file: a table starts over,
  // a plain list is opened anew (so a list fed through a pipe is read once
  // per opening). False with `error` when the list cannot be opened.
  bool Rewind(std::string& error);
  // The table, when the list is one; nullptr for a plain list.
  const CAddressTable* Table() const;

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace addresses
