// bench_batch: a batch of 20 mail files x 100 addresses through CBatchRun to
// the fast local sink, beside the lock-step baseline client in the same run;
// then the peak memory of sending one 200 MiB mail file to one address.
//
//   bench_batch [rounds]
//
// The last line reads "ratio: R" (batch rate / baseline rate).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "dispatch/batch_run.h"
#include "platform/dirs.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 20;
constexpr int kAddresses = 100;
constexpr std::uintmax_t kLargeMail = 200ull << 20;

// The run's surroundings without a window: fixed settings, no sound, boxes
// kept for the caller to check.
class CBenchHost : public CBatchHost {
 public:
  CBenchHost(const std::string& mailDir, const std::string& list, unsigned int /*port*/) {
    m_source.m_strMailDir = mailDir;
    m_source.m_strAddressFile = list;
    m_source.m_strSubject = "bench";
    m_account.m_strServer = "127.0.0.1";
    m_account.m_strMail = "sender@example.com";
  }
  void ReloadMailSource() override {}
  CMailSource TakeMailSource() override { return m_source; }
  CSmtpAccount TakeSmtpAccount() override { return m_account; }
  CSoundSettings SoundSettings() override { return CSoundSettings(); }
  void ShowMessage(const std::string& text) override { m_strLastMessage = text; }
  void PlayCue(const std::string&) override {}

  std::string m_strLastMessage;

 private:
  CMailSource m_source;
  CSmtpAccount m_account;
};

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// One batch run in `dir` (holding mail/ and list.txt); false when it failed.
bool RunBatch(const fs::path& dir, unsigned int port) {
  const fs::path start = fs::current_path();
  fs::current_path(dir);
  CBenchHost host("mail", "list.txt", port);
  CBatchRun run(host);
  run.SetSmtpPortForTests(port);
  run.Run();
  fs::current_path(start);
  if (!run.m_strError.empty()) std::fprintf(stderr, "batch run failed: %s\n", run.m_strError.c_str());
  return run.m_strError.empty();
}

// The child of the memory measurement: one run of one large mail to one address.
int MemoryChild(const char* dir, const char* port) {
  return RunBatch(dir, static_cast<unsigned int>(std::atoi(port))) ? 0 : 1;
}

}  // namespace
