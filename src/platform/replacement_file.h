// A new version of a file, written beside it and put in its place by a
// rename once it is whole and on the disk. For the POSIX files of this
// folder (the settings file and the report file); not for use outside the
// platform layer.
//
// Where the system allows (Linux: O_TMPFILE, and /proc to link it), the new
// version has no name while it is written, so a writer killed before the
// rename leaves nothing behind; it gets a temporary name "<target>.XXXXXX.postwing-new"
// only for the moment between linking and renaming. Elsewhere it has that
// name from the start. A killed writer can thus leave such a file; the next
// replacement of the same target removes those older than
// kStaleReplacementAge (a writer takes milliseconds, not minutes, between
// naming a file and renaming it). Nothing else is ever removed: only names of
// exactly that form, regular files of this user.
#pragma once

#include <chrono>

#include <sys/types.h>

#include <string>

namespace platform {

inline constexpr std::chrono::seconds kStaleReplacementAge{120};

class CReplacementFile {
 public:
  explicit CReplacementFile(std::string target) : m_strTarget(std::move(target)) {}
  ~CReplacementFile();
  CReplacementFile(const CReplacementFile&) = delete;
  CReplacementFile& operator=(const CReplacementFile&) = delete;

  // Creates the new version, empty, with `mode` (after removing stale ones
  // of earlier writers); false when the folder takes no new files.
  bool Open(mode_t mode);
  int Fd() const { return m_fd; }
  // Flushes the new version to the disk and renames it over the target;
  // false (the target untouched, the new version gone) on any failure.
  bool Commit();

 private:
  void Discard();
  void RemoveStale() const;

  std::string m_strTarget;
  std::string m_strName;  // the new version's name, once it has one
  int m_fd = -1;
  bool m_bUnnamed = false;
};

}  // namespace platform
