#include "platform/sound.h"

#include <canberra.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

#include "platform/codepage.h"

namespace platform {
namespace {

// The longest a cue may hold up the caller.
constexpr std::chrono::minutes kLongestCue{10};
// How often the wait asks whether the sound is still playing: the service
// does not always report the end of a sound through the callback.
constexpr std::chrono::milliseconds kPollEvery{50};

// Ids of sounds whose end was reported. Never destroyed, so that a report
// arriving after its caller gave up waiting still has somewhere to go.
struct Finished {
  std::mutex mutex;
  std::condition_variable done;
  std::set<uint32_t> ids;
};

Finished& FinishedSounds() {
  static Finished* finished = new Finished;
  return *finished;
}

void OnFinished(ca_context*, uint32_t id, int, void*) {
  Finished& finished = FinishedSounds();
  std::lock_guard<std::mutex> lock(finished.mutex);
  finished.ids.insert(id);
  finished.done.notify_all();
}

// Plays one sound described by `property` = `value` and waits for its end.
bool PlayAndWait(ca_context* context, const char* property, const std::string& value) {
  static std::atomic<uint32_t> nextId{1};
  const uint32_t id = nextId++;
  ca_proplist* props = nullptr;
  if (ca_proplist_create(&props) != CA_SUCCESS) return false;
  ca_proplist_sets(props, property, value.c_str());
  const int rc = ca_context_play_full(context, id, props, OnFinished, nullptr);
  ca_proplist_destroy(props);
  if (rc != CA_SUCCESS) return false;

  const auto deadline = std::chrono::steady_clock::now() + kLongestCue;
  Finished& finished = FinishedSounds();
  std::unique_lock<std::mutex> lock(finished.mutex);
  while (finished.ids.count(id) == 0) {
    if (finished.done.wait_for(lock, kPollEvery) == std::cv_status::no_timeout) continue;
    lock.unlock();
    int playing = 0;
    const bool asked = ca_context_playing(context, id, &playing) == CA_SUCCESS;
    if (asked && playing && std::chrono::steady_clock::now() > deadline) {
      ca_context_cancel(context, id);
    }
    lock.lock();
    if (!asked || !playing || std::chrono::steady_clock::now() > deadline) break;
  }
  finished.ids.erase(id);
  return true;
}

bool IsPlayableFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

bool PlaySoundSync(const std::string& name) {
  ca_context* context = nullptr;
  if (ca_context_create(&context) != CA_SUCCESS) return false;
  bool played = false;
  const std::filesystem::path native = FindNativePath(name);
  if (!name.empty() && IsPlayableFile(native)) {
    played = PlayAndWait(context, CA_PROP_MEDIA_FILENAME, native.string());
  }
  if (!played && !name.empty()) {
    played = PlayAndWait(context, CA_PROP_EVENT_ID, native.string());
  }
  if (!played) played = PlayAndWait(context, CA_PROP_EVENT_ID, "bell");
  ca_context_destroy(context);
  return played;
}

}  // namespace platform
