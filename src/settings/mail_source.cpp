#include "settings/mail_source.h"

#include "settings/profile_file.h"

void CMailSource::ReadSettings() {
  CProfileFile file = SettingsFile();
  file.ReadString("maildir", "maildir", m_strMailDir);
  file.ReadString("maildir", "address", m_strAddressFile);
  file.ReadString("maildir", "mailsubject", m_strSubject);
  file.ReadInt("maildir", "rate", m_nRate);
  if (m_nRate < 0) m_nRate = 0;
}

void CMailSource::WriteSettings() const {
  CProfileFile file = SettingsFile();
  file.WriteString("maildir", "maildir", m_strMailDir);
  file.WriteString("maildir", "address", m_strAddressFile);
  file.WriteString("maildir", "mailsubject", m_strSubject);
  file.WriteInt("maildir", "rate", m_nRate);
}
