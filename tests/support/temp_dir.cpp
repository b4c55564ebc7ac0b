#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace testsupport {

CTempDir::CTempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  std::ostringstream name;
  name << "postwing-test-" << rd() << '-' << counter++;
  m_path = std::filesystem::temp_directory_path() / name.str();
  std::filesystem::create_directories(m_path);
}

CTempDir::~CTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

void CTempDir::WriteFile(const std::string& relative, const std::string& bytes) const {
  const std::filesystem::path file = m_path / std::filesystem::u8path(relative);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string CTempDir::ReadFile(const std::string& relative) const {
  std::ifstream in(m_path / std::filesystem::u8path(relative), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CWorkingDirGuard::CWorkingDirGuard(const std::filesystem::path& dir)
    : m_saved(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

CWorkingDirGuard::~CWorkingDirGuard() {
  std::error_code ec;
  std::filesystem::current_path(m_saved, ec);
}

}  // namespace testsupport
