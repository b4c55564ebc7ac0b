// The SMTP account: section "smtp" of the settings file.
#pragma once

#include <string>

// The port a security mode uses when none is set: 25 for the plain modes
// (0 and 3), 587 for STARTTLS (1), 465 for TLS from the first byte (2).
unsigned int DefaultSmtpPort(int security);

class CSmtpAccount {
 public:
  // Reads "smtp", "Mail", "Name", "Password", "emstp", "port", "security",
  // "cafile", "reuse", "connections" into the fields.
  void ReadSettings();
  // Writes the fields back in the same order.
  void WriteSettings() const;

  // The security mode to use: m_nSecurity when it is 0-3, else 0.
  int Security() const;
  // The port to use: m_nPort when it is 1-65535, else the mode's default.
  unsigned int Port() const;
  // The most messages one connection carries: always 1 in mode 0; in modes
  // 1-3 m_nReuse, kDefaultReuse when it is 0 or less, at most kMaxReuse.
  int MessagesPerConnection() const;

  // The connections a run keeps busy at once: always 1 in mode 0; in modes
  // 1-3 m_nConnections within 1-kMaxConnections (1 when it is 0 or less).
  int Connections() const;

  static constexpr int kDefaultReuse = 20;
  static constexpr int kMaxConnections = 10;
  static constexpr int kMaxReuse = 100;

  std::string m_strMail;
  std::string m_strName;
  std::string m_strPassword;
  std::string m_strServer;
  int m_bAuth = 0;
  int m_nPort = 0;      // as stored; 0 for the mode's default
  int m_nSecurity = 0;  // as stored: 0 none, 1 STARTTLS, 2 TLS, 3 plain EHLO
  std::string m_strCaFile;  // extra authorities (PEM), relative to the start directory
  int m_nReuse = 0;  // as stored: messages per connection, 0 for the default
  int m_nConnections = 0;  // as stored: connections at once, 0 for one
};
