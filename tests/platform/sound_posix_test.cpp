#include "platform/sound.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_dir.h"

namespace {

// Runs `body` in a child process whose HOME holds `asoundrc`, so that the
// sound library reads a fresh configuration; the child's exit status is what
// `body` returns.
int InChild(const testsupport::CTempDir& home, const std::string& asoundrc,
            const std::function<int()>& body) {
  home.WriteFile(".asoundrc", asoundrc);
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("HOME", home.Path().c_str(), 1);
    unsetenv("PULSE_SERVER");
    setenv("PULSE_RUNTIME_PATH", (home.Path() / "no-pulse").c_str(), 1);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(Sound, PlaysAFileAndFallsBackToTheDefaultSound) {
  testsupport::CTempDir home;
  const std::string wave = (home.Path() / "cue.wav").string();
  const std::string make = "sox -n -r 8000 -b 16 '" + wave + "' synth 0.2 sine 440 2>/dev/null";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "sox is not available";
  // A null output device: playback succeeds without a sound card.
  const std::string nullDevice = "pcm.!default { type null }\n";
  EXPECT_EQ(InChild(home, nullDevice, [&] { return platform::PlaySoundSync(wave) ? 0 : 1; }), 0);
  // A missing file falls back to the theme's default sound, where the theme is
  // installed.
  if (!std::filesystem::exists("/usr/share/sounds/freedesktop/stereo/bell.oga")) return;
  EXPECT_EQ(InChild(home, nullDevice,
                    [&] { return platform::PlaySoundSync(wave + ".missing") ? 0 : 1; }),
            0);
}

TEST(Sound, ReturnsPromptlyWithoutASoundService) {
  testsupport::CTempDir home;
  const std::string noDevice = "pcm.!default { type hw card 99 }\nctl.!default { type hw card 99 }\n";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(InChild(home, noDevice, [] { return platform::PlaySoundSync("") ? 0 : 1; }), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
