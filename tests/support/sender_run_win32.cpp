#include "support/sender_run.h"

#include <fstream>
#include <iterator>

#include "support/child_process_win32.h"

namespace testsupport {

namespace {
constexpr DWORD kRunLimitMs = 120000;
}  // namespace

SenderOutcome RunSender(const std::filesystem::path& dir, const std::string& args) {
  SenderOutcome outcome;
  const std::filesystem::path out = dir.parent_path() / (dir.filename().wstring() + L".out");
  {
    CChildProcess::Options options;
    options.m_program = SenderProgramPath();
    options.m_strArgs = args;
    options.m_dir = dir;
    options.m_outFile = out;
    CChildProcess child(options);
    DWORD status = 0;
    if (child.Wait(kRunLimitMs, status)) outcome.status = static_cast<int>(status);
  }
  std::ifstream in(out, std::ios::binary);
  outcome.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  in.close();
  std::error_code ignored;
  std::filesystem::remove(out, ignored);
  return outcome;
}

}  // namespace testsupport
