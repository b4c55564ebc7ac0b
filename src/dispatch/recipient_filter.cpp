#include "dispatch/recipient_filter.h"

#include "dispatch/run_report.h"
#include "platform/textfile.h"
#include "smtp/mail_item.h"

std::string AddressKey(const std::string& address) {
  std::string key = TrimWhiteSpace(address);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

bool CRecipientFilter::LoadExclusions(const std::filesystem::path& file) {
  platform::CTextFileReader reader;
  if (!reader.OpenNative(file)) return false;
  std::string line;
  while (reader.ReadLine(line)) {
    CMailItem entries;
    entries.AddRecipientList(TrimWhiteSpace(line));
    for (const MailRecipient& recipient : entries.Recipients()) {
      const std::string key = AddressKey(recipient.m_strAddress);
      if (!key.empty()) m_excluded.insert(key);
    }
  }
  return true;
}

FilterVerdict CRecipientFilter::Check(const std::string& address) {
  std::string key = AddressKey(address);
  if (m_excluded.count(key) != 0) return FilterVerdict::Excluded;
  if (!m_seen.insert(std::move(key)).second) return FilterVerdict::Duplicate;
  return FilterVerdict::Send;
}
