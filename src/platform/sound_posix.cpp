#include "platform/sound.h"

#include <canberra.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/codepage.h"

namespace platform {
namespace {

// The longest a cue may hold up the caller; a sound service that never reports
// the end of a sound must not hang the run.
constexpr std::chrono::minutes kLongestCue{10};

struct Completion {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
};

void OnFinished(ca_context*, uint32_t, int, void* userdata) {
  auto* completion = static_cast<Completion*>(userdata);
  std::lock_guard<std::mutex> lock(completion->mutex);
  completion->finished = true;
  completion->done.notify_all();
}

// Plays one sound described by `property` = `value` and waits for its end.
// The completion callback runs only when the play call succeeded.
bool PlayAndWait(ca_context* context, const char* property, const std::string& value) {
  ca_proplist* props = nullptr;
  if (ca_proplist_create(&props) != CA_SUCCESS) return false;
  ca_proplist_sets(props, property, value.c_str());
  // Held on the heap: if the service never reports the end, even after a
  // cancel, the record is left to the late callback instead of freed under it.
  auto* completion = new Completion;
  const uint32_t id = 1;
  const int rc = ca_context_play_full(context, id, props, OnFinished, completion);
  ca_proplist_destroy(props);
  if (rc != CA_SUCCESS) {
    delete completion;
    return false;
  }
  std::unique_lock<std::mutex> lock(completion->mutex);
  auto finished = [completion] { return completion->finished; };
  if (!completion->done.wait_for(lock, kLongestCue, finished)) {
    lock.unlock();
    ca_context_cancel(context, id);
    lock.lock();
    if (!completion->done.wait_for(lock, std::chrono::seconds(5), finished)) return true;
  }
  lock.unlock();
  delete completion;
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
  const std::filesystem::path native = NativePath(name);
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
