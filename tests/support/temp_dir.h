// Scratch folders for tests: a fresh temporary folder removed at the end, and
// a guard that makes a folder the working directory for a test's duration.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class CTempDir {
 public:
  CTempDir();
  ~CTempDir();
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  // Writes `bytes` to `relative` under the folder, creating parent folders.
  void WriteFile(const std::string& relative, const std::string& bytes) const;
  // The whole content of `relative`, or "" when it cannot be read.
  std::string ReadFile(const std::string& relative) const;

 private:
  std::filesystem::path m_path;
};

class CWorkingDirGuard {
 public:
  explicit CWorkingDirGuard(const std::filesystem::path& dir);
  ~CWorkingDirGuard();
  CWorkingDirGuard(const CWorkingDirGuard&) = delete;
  CWorkingDirGuard& operator=(const CWorkingDirGuard&) = delete;

 private:
  std::filesystem::path m_saved;
};

}  // namespace testsupport
