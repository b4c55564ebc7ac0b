// Debian's aiosmtpd as the TLS tests' SMTP server (tests/smtp/aiosmtpd_tls_peer.py),
// with certificates of a private authority made for the run by the `openssl`
// command (tests/smtp/make_test_certs.sh).
//
// On Linux the test starts each server itself. A Windows test under Wine
// cannot start Linux programs: there ctest's fixture tests/smtp/tls_peers.sh
// starts one server per kind beforehand and names their folder in the
// environment variable POSTWING_TLS_PEERS; the test reads the servers' reports
// from their output files.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

// What the server reported of one session: key -> values in order.
using TlsSessionReport = std::multimap<std::string, std::string>;

class CTlsPeer {
 public:
  // A server in `mode` (none, starttls, implicit) with the key pair
  // `certName` (server, othername); `login` accepts AUTH.
  CTlsPeer(const std::string& mode, const std::string& certName, bool login);
  ~CTlsPeer();
  CTlsPeer(const CTlsPeer&) = delete;
  CTlsPeer& operator=(const CTlsPeer&) = delete;

  // 0 when the server could not be reached.
  unsigned int Port() const { return m_nPort; }
  // The next session the server reports when it ends; empty when none comes.
  TlsSessionReport NextSession();

  // Why these servers cannot run here ("" when they can): the test skips.
  static std::string Unavailable();
  // The folder of the certificates; empty when they could not be made.
  static std::filesystem::path CertDir();

  struct Impl;

 private:
  Impl* m_impl = nullptr;
  unsigned int m_nPort = 0;
};

}  // namespace testsupport
