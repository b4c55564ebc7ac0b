// Wave playback for the run's sound cues.
#pragma once

#include <string>

namespace platform {

// Plays `name` (code-page bytes) and returns when the sound has finished: the
// name as a sound file, else as a sound-theme event name, else the system's
// default sound. Returns false, promptly, when nothing could be played (no
// sound service); a caller goes on either way.
bool PlaySoundSync(const std::string& name);

}  // namespace platform
