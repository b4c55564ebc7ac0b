// bench_batch: batches of 20 mail files x 100 addresses through CBatchRun to
// the fast local sink, beside the lock-step baseline client in the same run,
// with progress reported and the journal kept as in every run; then the
// journal's own cost per message, the peak memory of sending one 200 MiB
// mail file to one address, keep-going runs (with their record) beside runs
// that stop at the first failure, and the peak memory of a keep-going run
// to 100,000 recipients.
//
//   bench_batch [rounds] [keep-going recipients]
//
// Each round is one batch run (2,000 sessions) and 2,000 baseline sessions of
// the same message, alternating which goes first. The sink runs on core 1 and
// the clients on core 0. The memory figure comes from a child process (this
// program again) that does nothing but the one large run. The last line reads
// "ratio: R", the batch rate over the baseline rate.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "dispatch/batch_run.h"
#include "dispatch/run_journal.h"
#include "platform/journal_file.h"
#include "support/baseline_client.h"
#include "support/child_peak.h"
#include "support/prepared_message.h"
#include "support/smtp_sink.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 20;
constexpr int kAddresses = 100;
constexpr std::uintmax_t kLargeMail = 200ull << 20;
const char kSender[] = "sender@example.com";
const char kRecipient[] = "sink@example.com";
const char kSubject[] = "bench";

using Clock = std::chrono::steady_clock;

// The run's surroundings without a window: fixed settings, no sound, boxes
// kept for the caller to check.
class CBenchHost : public CBatchHost {
 public:
  CBenchHost(const std::string& mailDir, const std::string& list, bool keepGoing = false) {
    m_source.m_nOnError = keepGoing ? OnErrorKeepGoing : OnErrorStop;
    m_source.m_strMailDir = mailDir;
    m_source.m_strAddressFile = list;
    m_source.m_strSubject = kSubject;
    m_account.m_strServer = "127.0.0.1";
    m_account.m_strMail = kSender;
  }
  void ReloadMailSource() override {}
  CMailSource TakeMailSource() override { return m_source; }
  CSmtpAccount TakeSmtpAccount() override { return m_account; }
  CSoundSettings SoundSettings() override { return CSoundSettings(); }
  void ShowMessage(const std::string& text) override { m_strLastMessage = text; }
  void PlayCue(const std::string&) override {}
  // As a display would: keeps the last figures.
  void ShowProgress(const RunProgress& progress) override {
    m_lastProgress = progress;
    ++m_nProgressCalls;
  }

  std::string m_strLastMessage;
  RunProgress m_lastProgress;
  long m_nProgressCalls = 0;

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
bool RunBatch(const fs::path& dir, unsigned int port, bool keepGoing = false) {
  const fs::path start = fs::current_path();
  fs::current_path(dir);
  CBenchHost host("mail", "list.txt", keepGoing);
  CBatchRun run(host);
  run.SetSmtpPortForTests(port);
  run.Run();
  fs::current_path(start);
  if (!run.m_strError.empty()) std::fprintf(stderr, "batch run failed: %s\n", run.m_strError.c_str());
  if (keepGoing && run.Outcome().m_nDelivered != host.m_lastProgress.m_nTotal) {
    std::fprintf(stderr, "keep-going run delivered %lld of %lld\n",
                 static_cast<long long>(run.Outcome().m_nDelivered),
                 static_cast<long long>(host.m_lastProgress.m_nTotal));
    return false;
  }
  if (host.m_nProgressCalls < 2 * host.m_lastProgress.m_nTotal) {
    std::fprintf(stderr, "batch run reported progress %ld times\n", host.m_nProgressCalls);
    return false;
  }
  return run.m_strError.empty();
}

// Microseconds per accepted message of the journal alone, as the run keeps
// it; and of a journal flushed to the disk after every message.
void MeasureJournal(const fs::path& dir) {
  constexpr int kMarks = 200000;
  constexpr int kFlushedMarks = 300;
  RunInputs inputs;
  inputs.m_strMailDir = "mail";
  inputs.m_nTotal = kMarks;
  const fs::path path = dir / "ini" / "bench.jnl";
  CRunJournal journal;
  if (!journal.Begin(path, inputs)) {
    std::printf("journal: cannot write %s\n", path.string().c_str());
    return;
  }
  auto start = Clock::now();
  for (int i = 0; i < kMarks; ++i) journal.Accepted(i);
  journal.Close();
  const double kept = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kMarks;
  platform::CJournalFile flushed;
  flushed.OpenForAppend(path);
  start = Clock::now();
  for (int i = 0; i < kFlushedMarks; ++i) {
    flushed.Append(".");
    flushed.Sync();
  }
  const double each =
      std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kFlushedMarks;
  flushed.Close();
  journal.Remove();
  std::printf("journal: %.2f us per message (one write each, to disk every %lld ms); flushed every message: %.0f us\n",
              kept, static_cast<long long>(kJournalSyncPeriod.count()), each);
}

// The child of the memory measurements: one run of one large mail to one
// address, or one keep-going run.
int MemoryChild(const char* dir, const char* port, bool keepGoing) {
  return RunBatch(dir, static_cast<unsigned int>(std::atoi(port)), keepGoing) ? 0 : 1;
}

// 2 KB of text in 32 lines of 64 bytes, CR LF on disk as the program keeps
// its text files; `tag` makes each file's first line its own.
std::string MailText(int tag) {
  std::string text;
  for (int line = 0; line < 32; ++line) {
    std::string row = "Mail " + std::to_string(tag) + ", line " + std::to_string(line) + " ";
    row.append(62 - row.size(), 'x');
    text += row + "\r\n";
  }
  return text;
}

// Peak resident memory of one large run, in KiB, from a child process that
// runs only that; -1 when it failed.
long LargeRunPeakKib(const char* self, const fs::path& dir, unsigned int port,
                     bool keepGoing = false) {
  return bench::ChildPeakKib(self, {keepGoing ? "--keep-going-child" : "--memory-child", dir.string(),
                                    std::to_string(port)});
}

// A mail file of `size` bytes in lines of 80 (LF line ends).
void WriteLargeMail(const fs::path& path, std::uintmax_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::string block;
  while (block.size() < (1u << 20)) {
    std::string row = "Large mail line " + std::to_string(block.size() / 80) + " ";
    row.append(79 - row.size(), 'y');
    block += row + "\n";
  }
  block.resize(1u << 20);
  for (std::uintmax_t written = 0; written < size; written += block.size()) {
    std::fwrite(block.data(), 1, block.size(), file);
  }
  std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--memory-child") == 0) {
    return MemoryChild(argv[2], argv[3], false);
  }
  if (argc == 4 && std::strcmp(argv[1], "--keep-going-child") == 0) {
    return MemoryChild(argv[2], argv[3], true);
  }
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
  const long keepGoingRecipients = argc > 2 ? std::atol(argv[2]) : 100000;

  const bool twoCores = std::thread::hardware_concurrency() > 1;
  benchsupport::CSmtpSink sink(twoCores ? 1 : 0);
  if (!sink.Ok()) {
    std::fprintf(stderr, "cannot start the sink\n");
    return 1;
  }
  const bool pinned = benchsupport::PinThisThread(0);

  const fs::path dir = fs::temp_directory_path() / ("bench_batch-" + std::to_string(getpid()));
  fs::create_directories(dir / "mail");
  fs::create_directories(dir / "ini");  // the journal's folder
  for (int i = 0; i < kFiles; ++i) {
    WriteFile(dir / "mail" / ("mail" + std::to_string(i) + ".txt"), MailText(i));
  }
  std::string list;
  for (int i = 0; i < kAddresses; ++i) list += "user" + std::to_string(i) + "@example.com\r\n";
  WriteFile(dir / "list.txt", list);

  // The baseline sends the message a batch sends: one mail file's text with
  // the footer, as CBatchRun reads it.
  CBenchHost host("mail", "list.txt");
  CBatchRun reader(host);
  std::string body;
  reader.ReadMailText((dir / "mail" / "mail0.txt").string(), body);
  const benchsupport::CBaselineClient baseline(
      "127.0.0.1", sink.Port(), kSender, kRecipient,
      benchsupport::PreparedMessage(kSender, kRecipient, kSubject, body));
  const int perRound = kFiles * kAddresses;
  auto baselineRound = [&] {
    const auto start = Clock::now();
    for (int i = 0; i < perRound; ++i) {
      if (!baseline.SendOne()) {
        std::fprintf(stderr, "a baseline session failed\n");
        std::exit(1);
      }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  auto batchRound = [&] {
    const auto start = Clock::now();
    if (!RunBatch(dir, sink.Port())) std::exit(1);
    return std::chrono::duration<double>(Clock::now() - start).count();
  };

  std::printf("bench_batch: %d rounds of %d mail files x %d addresses, %zu-byte bodies\n", rounds,
              kFiles, kAddresses, body.size());
  std::printf("sink on core %d, clients on core 0%s\n", twoCores ? 1 : 0,
              pinned ? "" : " (pinning failed)");
  batchRound();  // warm up both paths
  baselineRound();
  double baselineTime = 0;
  double batchTime = 0;
  for (int round = 0; round < rounds; ++round) {
    double b, c;
    if (round % 2 == 0) {
      b = baselineRound();
      c = batchRound();
    } else {
      c = batchRound();
      b = baselineRound();
    }
    baselineTime += b;
    batchTime += c;
    std::printf("round %d: baseline %7.0f/s  batch %7.0f/s\n", round + 1, perRound / b,
                perRound / c);
  }

  MeasureJournal(dir);

  // Keep-going runs with their record beside runs that stop at the first
  // failure, alternating which goes first.
  double stopTime = 0;
  double keepGoingTime = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool keepGoing = (round + turn) % 2 == 1;
      const auto start = Clock::now();
      if (!RunBatch(dir, sink.Port(), keepGoing)) std::exit(1);
      (keepGoing ? keepGoingTime : stopTime) += std::chrono::duration<double>(Clock::now() - start).count();
    }
  }
  const double stopRate = perRound * rounds / stopTime;
  const double keepGoingRate = perRound * rounds / keepGoingTime;
  std::printf("onerror=0: %.0f messages/s; onerror=1 with record: %.0f messages/s; keep_going_ratio: %.3f "
              "(record cost %.1f %%, target <= 5 %%)\n",
              stopRate, keepGoingRate, keepGoingRate / stopRate, (stopRate / keepGoingRate - 1) * 100);

  // A keep-going run to many recipients, in a child of its own: the record
  // is written as it goes, never held.
  if (keepGoingRecipients > 0) {
    const fs::path many = dir / "many";
    fs::create_directories(many / "mail");
    WriteFile(many / "mail" / "notice.txt", MailText(0));
    std::string addresses;
    for (long i = 0; i < keepGoingRecipients; ++i) addresses += "u" + std::to_string(i) + "@example.com\r\n";
    WriteFile(many / "list.txt", addresses);
    addresses = std::string();
    const auto start = Clock::now();
    const long manyKib = LargeRunPeakKib(argv[0], many, sink.Port(), true);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (manyKib < 0) {
      std::printf("keep-going run: failed\n");
    } else {
      std::printf("keep-going run: %ld recipients in %.1f s, peak resident %.1f MiB (target < 20)\n",
                  keepGoingRecipients, seconds, manyKib / 1024.0);
    }
  }

  // One large mail to one address, in a child of its own.
  const fs::path large = dir / "large";
  fs::create_directories(large / "mail");
  WriteLargeMail(large / "mail" / "large.txt", kLargeMail);
  WriteFile(large / "list.txt", std::string(kRecipient) + "\r\n");
  const std::uint64_t bytesBefore = sink.MessageBytes();
  const long peakKib = LargeRunPeakKib(argv[0], large, sink.Port());
  const double fileMib = static_cast<double>(kLargeMail) / (1 << 20);
  if (peakKib < 0) {
    std::printf("large mail: the run failed\n");
  } else {
    std::printf("large mail: %.0f MiB file, %.0f MiB received by the sink, peak resident %.0f MiB = %.2f x file size (target <= 3)\n",
                fileMib, static_cast<double>(sink.MessageBytes() - bytesBefore) / (1 << 20),
                peakKib / 1024.0, peakKib / 1024.0 / fileMib);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);

  const double baselineRate = perRound * rounds / baselineTime;
  const double batchRate = perRound * rounds / batchTime;
  std::printf("sink accepted %llu messages\n", static_cast<unsigned long long>(sink.Messages()));
  std::printf("baseline: %.0f messages/s\n", baselineRate);
  std::printf("batch:    %.0f messages/s\n", batchRate);
  std::printf("ratio: %.3f\n", batchRate / baselineRate);
  return 0;
}
