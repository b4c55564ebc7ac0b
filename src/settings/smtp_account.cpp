#include "settings/smtp_account.h"

#include <cstdint>

#include "settings/profile_file.h"

namespace {

constexpr int kMaxSecurity = 3;
constexpr int kMaxPort = 65535;

}  // namespace

unsigned int DefaultSmtpPort(int security) {
  switch (security) {
    case 1:
      return 587;
    case 2:
      return 465;
    default:
      return 25;
  }
}

void CSmtpAccount::ReadSettings() {
  CProfileFile file = SettingsFile();
  file.ReadString("smtp", "smtp", m_strServer);
  file.ReadString("smtp", "Mail", m_strMail);
  file.ReadString("smtp", "Name", m_strName);
  file.ReadString("smtp", "Password", m_strPassword);
  std::int32_t value = 0;
  file.ReadInt("smtp", "emstp", value);
  m_bAuth = value;
  value = 0;
  file.ReadInt("smtp", "port", value);
  m_nPort = value;
  value = 0;
  file.ReadInt("smtp", "security", value);
  m_nSecurity = value;
  file.ReadString("smtp", "cafile", m_strCaFile);
  value = 0;
  file.ReadInt("smtp", "reuse", value);
  m_nReuse = value;
  value = 0;
  file.ReadInt("smtp", "connections", value);
  m_nConnections = value;
}

void CSmtpAccount::WriteSettings() const {
  CProfileFile file = SettingsFile();
  file.WriteString("smtp", "smtp", m_strServer);
  file.WriteString("smtp", "Mail", m_strMail);
  file.WriteString("smtp", "Name", m_strName);
  file.WriteString("smtp", "Password", m_strPassword);
  file.WriteBool("smtp", "emstp", m_bAuth);
  file.WriteInt("smtp", "port", m_nPort);
  file.WriteInt("smtp", "security", m_nSecurity);
  file.WriteString("smtp", "cafile", m_strCaFile);
  file.WriteInt("smtp", "reuse", m_nReuse);
  file.WriteInt("smtp", "connections", m_nConnections);
}

int CSmtpAccount::Security() const {
  return m_nSecurity >= 0 && m_nSecurity <= kMaxSecurity ? m_nSecurity : 0;
}

unsigned int CSmtpAccount::Port() const {
  if (m_nPort >= 1 && m_nPort <= kMaxPort) return static_cast<unsigned int>(m_nPort);
  return DefaultSmtpPort(Security());
}

int CSmtpAccount::MessagesPerConnection() const {
  if (Security() == 0) return 1;
  if (m_nReuse <= 0) return kDefaultReuse;
  return m_nReuse < kMaxReuse ? m_nReuse : kMaxReuse;
}

int CSmtpAccount::Connections() const {
  if (Security() == 0 || m_nConnections <= 1) return 1;
  return m_nConnections < kMaxConnections ? m_nConnections : kMaxConnections;
}
