// The writer killed (SIGKILL) at random points while it saves the settings
// file or appends a report line, a few hundred times: the settings file is
// always the old or the new one, never torn or empty, and the report file
// holds whole lines only. A killed writer leaves next to no temporary files,
// and the next save removes the stale ones.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/ini_document.h"
#include "platform/profile.h"
#include "platform/textfile.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kKills = 300;
constexpr int kTimedWrites = 10;

// A kill lands anywhere in the first few writes: up to this many writes' time.
constexpr int kWritesBeforeKill = 8;

// The time of one call of `write`, averaged, in microseconds.
template <typename Write>
long MicrosecondsPerWrite(Write write) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kTimedWrites; ++i) write(i);
  const auto spent = std::chrono::steady_clock::now() - start;
  return std::max<long>(1, std::chrono::duration_cast<std::chrono::microseconds>(spent).count() / kTimedWrites);
}

// Forks a child that runs `work` once it is told to, lets it work for a
// random while counted from when it says it has begun (so that a slow fork
// on a busy machine does not eat the delay), and kills it. True when the
// kill landed (the child had not finished), false when it had.
template <typename Work>
bool KillDuring(Work work, long maxDelayUs, std::mt19937& random) {
  int go[2];
  int begun[2];
  if (pipe(go) != 0) return false;
  if (pipe(begun) != 0) {
    close(go[0]);
    close(go[1]);
    return false;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    char c;
    close(go[1]);
    close(begun[0]);
    if (read(go[0], &c, 1) != 1) _exit(2);
    if (write(begun[1], &c, 1) != 1) _exit(2);
    work();
    _exit(0);
  }
  close(go[0]);
  close(begun[1]);
  char c = 'x';
  if (write(go[1], &c, 1) != 1) ADD_FAILURE() << "cannot start the writer";
  close(go[1]);
  if (read(begun[0], &c, 1) != 1) ADD_FAILURE() << "the writer did not begin";
  close(begun[0]);
  std::this_thread::sleep_for(std::chrono::microseconds(random() % maxDelayUs));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status);
}

// A forked writer runs slower than the calibrating parent (copied pages,
// and more so under the sanitizers on a busy machine), so the kill window
// widens while too few kills land after the first write.
constexpr int kKillsPerCheck = 25;
constexpr long kLongestDelayUs = 1'000'000;

void WidenWhenTooEarly(int kill, std::size_t progress, std::size_t& progressAtCheck, long& maxDelayUs) {
  if ((kill + 1) % kKillsPerCheck != 0) return;
  if (progress - progressAtCheck < kKillsPerCheck / 2) maxDelayUs = std::min(kLongestDelayUs, maxDelayUs * 2);
  progressAtCheck = progress;
}

// The files in `dir` but `keep`.
std::vector<fs::path> OtherFiles(const fs::path& dir, const std::string& keep) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename() != keep) files.push_back(entry.path());
  }
  return files;
}

// Dates `file` back past the age at which a left replacement counts as stale.
void MakeStale(const fs::path& file) {
  fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(30));
}

// A settings file of many keys, so that a save takes long enough to be cut.
std::string SettingsWith(const std::string& value) {
  platform::CIniDocument document;
  for (int i = 0; i < 400; ++i) document.Set("section" + std::to_string(i % 7), "key" + std::to_string(i), value);
  return document.Serialize();
}

TEST(CrashSafeFiles, AKilledSettingsSaveLeavesTheOldOrTheNewFile) {
  testsupport::CTempDir dir;
  const std::string path = (dir.Path() / "Stmp.Ini").string();
  std::mt19937 random(15);
  dir.WriteFile("Stmp.Ini", SettingsWith("x"));
  const long maxDelayUs = kWritesBeforeKill * MicrosecondsPerWrite([&](int i) {
    platform::WriteProfileValue(path, "section0", "key0", std::to_string(i));
  });
  int landed = 0;
  int newFiles = 0;
  int mixed = 0;
  for (int i = 0; i < kKills; ++i) {
    const std::string oldValue(100, static_cast<char>('a' + i % 26));
    const std::string newValue(100, static_cast<char>('A' + i % 26));
    dir.WriteFile("Stmp.Ini", SettingsWith(oldValue));
    // The writer stores every key anew: 400 saves, each a whole new file.
    landed += KillDuring(
        [&] {
          for (int k = 0; k < 400; ++k) {
            platform::WriteProfileValue(path, "section" + std::to_string(k % 7), "key" + std::to_string(k), newValue);
          }
        },
        maxDelayUs, random);
    const std::string after = dir.ReadFile("Stmp.Ini");
    ASSERT_FALSE(after.empty()) << "kill " << i;
    // Any state between two saves: every key holds the old or the new value,
    // and the file is exactly what the writer makes of such a document.
    const platform::CIniDocument read(after);
    ASSERT_EQ(read.Serialize(), after) << "kill " << i << ": torn file";
    for (int k = 0; k < 400; ++k) {
      const auto value = read.Get("section" + std::to_string(k % 7), "key" + std::to_string(k));
      ASSERT_TRUE(value == oldValue || value == newValue) << "kill " << i << ", key " << k;
    }
    newFiles += after == SettingsWith(newValue);
    mixed += after != SettingsWith(newValue) && after != SettingsWith(oldValue);
  }
  std::printf("settings: %d kills (within %ld us), %d during the saves, %d after some saves, %d after all\n",
              kKills, maxDelayUs, landed, mixed, newFiles);
  EXPECT_GT(mixed, 0);  // kills did land between saves, not only before the first
  EXPECT_GT(landed, kKills / 2);
  // Litter: the new version has no name while it is written, so only a kill
  // in the moment between naming and renaming it can leave one behind.
  const int temporaries = static_cast<int>(OtherFiles(dir.Path(), "Stmp.Ini").size());
  std::printf("settings: %d temporary files left by killed saves\n", temporaries);
  EXPECT_LT(temporaries, kKills / 10);

  // The next save removes what killed saves left once it is stale, and
  // nothing else: not a fresh one (a save in progress elsewhere), not a
  // user's own file beside.
  for (const fs::path& left : OtherFiles(dir.Path(), "Stmp.Ini")) MakeStale(left);
  dir.WriteFile("Stmp.Ini.backup", "mine");
  dir.WriteFile("Stmp.Ini.backup.new", "mine");
  dir.WriteFile("Stmp.Ini.Ab3dE9.postwing-new.txt", "mine");
  MakeStale(dir.Path() / "Stmp.Ini.backup");
  MakeStale(dir.Path() / "Stmp.Ini.backup.new");
  MakeStale(dir.Path() / "Stmp.Ini.Ab3dE9.postwing-new.txt");
  dir.WriteFile("Stmp.Ini.Zx81Qw.postwing-new", "in progress");
  platform::WriteProfileValue(path, "section0", "key0", "after");
  const std::vector<fs::path> left = OtherFiles(dir.Path(), "Stmp.Ini");
  std::vector<std::string> names;
  for (const fs::path& file : left) names.push_back(file.filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Stmp.Ini.Ab3dE9.postwing-new.txt", "Stmp.Ini.Zx81Qw.postwing-new",
                                             "Stmp.Ini.backup", "Stmp.Ini.backup.new"}));
}

TEST(CrashSafeFiles, AKilledReportAppendLeavesWholeLinesOnly) {
  testsupport::CTempDir dir;
  dir.WriteFile("report.txt", "");
  const std::string path = (dir.Path() / "report.txt").string();
  // A record as the run writes it, long as the longest error texts make it.
  const std::string record = "\n2026-12- 7 , 18:30 , 20 , 1000 , " + std::string(200, 'e');
  std::string onDisk = record;
  for (std::size_t at = 0; (at = onDisk.find('\n', at)) != std::string::npos; at += 2) onDisk.insert(at, "\r");
  std::mt19937 random(16);
  long maxDelayUs = kWritesBeforeKill * MicrosecondsPerWrite([&](int) {
    platform::AppendToExistingTextFile(path, record);
  });
  int landed = 0;
  std::size_t linesAtCheck = 0;
  for (int i = 0; i < kKills; ++i) {
    landed += KillDuring(
        [&] {
          for (int k = 0; k < 2000; ++k) platform::AppendToExistingTextFile(path, record);
        },
        maxDelayUs, random);
    const std::string after = dir.ReadFile("report.txt");
    ASSERT_EQ(after.size() % onDisk.size(), 0u) << "kill " << i << ": a partial line";
    for (std::size_t at = 0; at < after.size(); at += onDisk.size()) {
      ASSERT_EQ(after.compare(at, onDisk.size(), onDisk), 0) << "kill " << i << ": a torn line";
    }
    WidenWhenTooEarly(i, after.size() / onDisk.size(), linesAtCheck, maxDelayUs);
  }
  const std::size_t lines = dir.ReadFile("report.txt").size() / onDisk.size();
  const int temporaries = static_cast<int>(OtherFiles(dir.Path(), "report.txt").size());
  std::printf("report: %d temporary files left by killed appends\n", temporaries);
  EXPECT_LT(temporaries, kKills / 10);
  std::printf("report: %d kills (within %ld us), %d during the appends, %zu lines\n", kKills, maxDelayUs,
              landed, lines);
  EXPECT_GT(lines, static_cast<std::size_t>(kKills / 4));  // kills did land between appends, not only in the first
  EXPECT_GT(landed, kKills / 2);
}

}  // namespace
