// The TLS tests' servers under Wine: started by ctest's fixture
// (tests/smtp/tls_peers.sh), one per kind, each writing its reports to
// <kind>.out in the folder POSTWING_TLS_PEERS names. A CTlsPeer reads the
// reports that come after its creation.
#include "support/tls_peer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {
namespace {

constexpr auto kReportWait = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

// The folder of the servers; a Unix path is reached through Wine's drive Z:.
std::filesystem::path PeersDir() {
  const char* dir = std::getenv("POSTWING_TLS_PEERS");
  if (!dir || !*dir) return {};
  return std::filesystem::path(dir[0] == '/' ? std::string("Z:") + dir : std::string(dir));
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

struct CTlsPeer::Impl {
  std::filesystem::path m_output;
  std::size_t m_nOffset = 0;  // reports before it belong to earlier tests
};

CTlsPeer::CTlsPeer(const std::string& mode, const std::string& certName, bool login)
    : m_impl(new Impl) {
  m_impl->m_output = PeersDir() / (mode + "-" + certName + (login ? "-login" : "") + ".out");
  const std::string output = ReadAll(m_impl->m_output);
  int pid = 0;
  if (std::sscanf(output.c_str(), "PORT %u %d", &m_nPort, &pid) != 2) m_nPort = 0;
  m_impl->m_nOffset = output.size();
}

CTlsPeer::~CTlsPeer() { delete m_impl; }

TlsSessionReport CTlsPeer::NextSession() {
  TlsSessionReport report;
  const auto deadline = std::chrono::steady_clock::now() + kReportWait;
  std::string block;
  for (;;) {
    const std::string output = ReadAll(m_impl->m_output);
    const std::size_t start = output.find("SESSION\n", m_impl->m_nOffset);
    const std::size_t end =
        start == std::string::npos ? std::string::npos : output.find("ENDSESSION\n", start);
    if (end != std::string::npos) {
      block = output.substr(start + 8, end - start - 8);
      m_impl->m_nOffset = end + 11;
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) return report;
    std::this_thread::sleep_for(kPollInterval);
  }
  std::istringstream lines(block);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t space = line.find(' ');
    report.emplace(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
  }
  return report;
}

std::string CTlsPeer::Unavailable() {
  const std::filesystem::path dir = PeersDir();
  if (dir.empty()) return "POSTWING_TLS_PEERS is not set: run through ctest, whose fixture starts the servers";
  const std::string why = ReadAll(dir / "unavailable");
  return why.empty() && !std::filesystem::exists(dir / "started") ? "the fixture did not start the servers"
                                                                   : why;
}

std::filesystem::path CTlsPeer::CertDir() {
  const std::filesystem::path certs = PeersDir() / "certs";
  return std::filesystem::exists(certs / "ca.pem") ? certs : std::filesystem::path();
}

}  // namespace testsupport
