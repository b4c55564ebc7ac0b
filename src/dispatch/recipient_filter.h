// Which recipients of a run are not sent to: addresses in the exclusion file
// (已排除) and an address a second time for the same mail file (重复).
// Addresses compare without regard to ASCII letter case.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_set>

enum class FilterVerdict { Send, Excluded, Duplicate };

// An address as the filter compares it: trimmed, ASCII letters in lower case.
std::string AddressKey(const std::string& address);

class CRecipientFilter {
 public:
  // Reads the exclusion file: one address a line, or a line of the address
  // list's form ("name<address>", several separated by ";"). False when it
  // cannot be opened (nothing is then excluded).
  bool LoadExclusions(const std::filesystem::path& file);
  // A new mail file begins: no address has been seen for it yet.
  void BeginMailFile() { m_seen.clear(); }
  // The verdict for `address`; an address to send is remembered for the mail file.
  FilterVerdict Check(const std::string& address);

 private:
  std::unordered_set<std::string> m_excluded;
  std::unordered_set<std::string> m_seen;
};
