// The TLS tests' servers on Linux: each CTlsPeer runs its own aiosmtpd.
#include "support/tls_peer.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/temp_dir.h"

namespace testsupport {
namespace {

const char kPython[] = "/usr/bin/python3";

struct Certificates {
  CTempDir m_dir;
  bool m_bMade = false;
};

const Certificates& Certs() {
  static const std::unique_ptr<Certificates> certs = [] {
    auto made = std::make_unique<Certificates>();
    const std::string command = "bash " POSTWING_SOURCE_DIR "/tests/smtp/make_test_certs.sh " +
                                made->m_dir.Path().string() + " >/dev/null 2>&1";
    made->m_bMade = std::system(command.c_str()) == 0;
    return made;
  }();
  return *certs;
}

}  // namespace

struct CTlsPeer::Impl {
  FILE* m_pipe = nullptr;
  int m_nPid = 0;

  std::string ReadLine() {
    std::string line;
    int c;
    while (m_pipe && (c = std::fgetc(m_pipe)) != EOF && c != '\n') line += static_cast<char>(c);
    return line;
  }
};

CTlsPeer::CTlsPeer(const std::string& mode, const std::string& certName, bool login)
    : m_impl(new Impl) {
  const std::string command = std::string(kPython) + " " POSTWING_SOURCE_DIR
                              "/tests/smtp/aiosmtpd_tls_peer.py " + mode + " " +
                              CertDir().string() + " " + certName + (login ? " login" : "");
  m_impl->m_pipe = popen(command.c_str(), "r");
  const std::string first = m_impl->ReadLine();
  if (std::sscanf(first.c_str(), "PORT %u %d", &m_nPort, &m_impl->m_nPid) != 2) m_nPort = 0;
}

CTlsPeer::~CTlsPeer() {
  if (m_impl->m_nPid > 0) kill(m_impl->m_nPid, SIGTERM);
  if (m_impl->m_pipe) pclose(m_impl->m_pipe);
  delete m_impl;
}

TlsSessionReport CTlsPeer::NextSession() {
  TlsSessionReport report;
  std::string line;
  while ((line = m_impl->ReadLine()) != "SESSION" && !line.empty()) {
  }
  while (!(line = m_impl->ReadLine()).empty() && line != "ENDSESSION") {
    const std::size_t space = line.find(' ');
    report.emplace(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
  }
  return report;
}

std::string CTlsPeer::Unavailable() {
  const std::string probe = std::string(kPython) + " -c 'import aiosmtpd' >/dev/null 2>&1";
  if (std::system(probe.c_str()) != 0) {
    return std::string(kPython) + " has no aiosmtpd (Debian package python3-aiosmtpd)";
  }
  return "";
}

std::filesystem::path CTlsPeer::CertDir() {
  return Certs().m_bMade ? Certs().m_dir.Path() : std::filesystem::path();
}

}  // namespace testsupport
