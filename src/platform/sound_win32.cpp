#include "platform/sound.h"

#include <windows.h>
#include <mmsystem.h>

namespace platform {

bool PlaySoundSync(const std::string& name) {
  // No flags: synchronous, the name looked up as a registered sound and then
  // as a file, and the default sound when neither is found.
  return PlaySoundA(name.c_str(), nullptr, 0) != FALSE;
}

}  // namespace platform
