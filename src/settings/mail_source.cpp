#include "settings/mail_source.h"

#include "settings/profile_file.h"

namespace {

const char kSection[] = "maildir";
// What a missing key reads as: no value the fields could hold when present.
const char kMissing[] = "";

// Reads an integer key, or leaves `value` at its default when the key is missing.
void ReadIntOrDefault(CProfileFile& file, const char* key, std::int32_t& value) {
  std::string text = kMissing;
  file.ReadString(kSection, key, text);
  if (!text.empty()) file.ReadInt(kSection, key, value);
}

}  // namespace

void CMailSource::ReadSettings() {
  CProfileFile file = SettingsFile();
  file.ReadString(kSection, "maildir", m_strMailDir);
  file.ReadString(kSection, "address", m_strAddressFile);
  file.ReadString(kSection, "mailsubject", m_strSubject);
  file.ReadInt(kSection, "rate", m_nRate);
  if (m_nRate < 0) m_nRate = 0;
  m_nOnError = OnErrorStop;
  file.ReadInt(kSection, "onerror", m_nOnError);
  if (m_nOnError != OnErrorKeepGoing) m_nOnError = OnErrorStop;
  m_nRetryMinutes = kDefaultRetryMinutes;
  ReadIntOrDefault(file, "retry", m_nRetryMinutes);
  if (m_nRetryMinutes < 0) m_nRetryMinutes = 0;
  m_nMaxErrors = kDefaultMaxErrors;
  ReadIntOrDefault(file, "maxerrors", m_nMaxErrors);
  if (m_nMaxErrors <= 0) m_nMaxErrors = kDefaultMaxErrors;
  m_strExcludeFile.clear();
  file.ReadString(kSection, "exclude", m_strExcludeFile);
  m_strUnsubscribe.clear();
  file.ReadString(kSection, "unsubscribe", m_strUnsubscribe);
  m_bAdvert = 0;
  file.ReadInt(kSection, "advert", m_bAdvert);
  if (m_bAdvert != 1) m_bAdvert = 0;
}

void CMailSource::WriteSettings() const {
  CProfileFile file = SettingsFile();
  file.WriteString(kSection, "maildir", m_strMailDir);
  file.WriteString(kSection, "address", m_strAddressFile);
  file.WriteString(kSection, "mailsubject", m_strSubject);
  file.WriteInt(kSection, "rate", m_nRate);
  file.WriteInt(kSection, "onerror", m_nOnError);
  file.WriteInt(kSection, "retry", m_nRetryMinutes);
  file.WriteInt(kSection, "maxerrors", m_nMaxErrors);
  file.WriteString(kSection, "exclude", m_strExcludeFile);
  file.WriteString(kSection, "unsubscribe", m_strUnsubscribe);
  file.WriteInt(kSection, "advert", m_bAdvert);
}
