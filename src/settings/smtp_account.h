// The SMTP account: section "smtp" of the settings file.
#pragma once

#include <string>

class CSmtpAccount {
 public:
  // Reads "smtp", "Mail", "Name", "Password", "emstp" into the fields.
  void ReadSettings();
  // Writes the fields back in the same order.
  void WriteSettings() const;

  std::string m_strMail;
  std::string m_strName;
  std::string m_strPassword;
  std::string m_strServer;
  int m_bAuth = 0;
};
