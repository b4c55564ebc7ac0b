#include "settings/smtp_account.h"

#include <cstdint>

#include "settings/profile_file.h"

void CSmtpAccount::ReadSettings() {
  CProfileFile file = SettingsFile();
  file.ReadString("smtp", "smtp", m_strServer);
  file.ReadString("smtp", "Mail", m_strMail);
  file.ReadString("smtp", "Name", m_strName);
  file.ReadString("smtp", "Password", m_strPassword);
  std::int32_t auth = 0;
  file.ReadInt("smtp", "emstp", auth);
  m_bAuth = auth;
}

void CSmtpAccount::WriteSettings() const {
  CProfileFile file = SettingsFile();
  file.WriteString("smtp", "smtp", m_strServer);
  file.WriteString("smtp", "Mail", m_strMail);
  file.WriteString("smtp", "Name", m_strName);
  file.WriteString("smtp", "Password", m_strPassword);
  file.WriteBool("smtp", "emstp", m_bAuth);
}
