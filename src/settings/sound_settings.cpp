#include "settings/sound_settings.h"

#include <cstdint>

#include "settings/profile_file.h"

void CSoundSettings::ReadSettings() {
  CProfileFile file = SettingsFile();
  std::int32_t play = 0;
  file.ReadInt("sound", "play", play);
  m_bPlay = play;
  file.ReadString("sound", "begin", m_strBeginWave);
  file.ReadString("sound", "ok", m_strOkWave);
  file.ReadString("sound", "err", m_strErrWave);
}

void CSoundSettings::WriteSettings() const {
  CProfileFile file = SettingsFile();
  file.WriteBool("sound", "play", m_bPlay);
  file.WriteString("sound", "begin", m_strBeginWave);
  file.WriteString("sound", "ok", m_strOkWave);
  file.WriteString("sound", "err", m_strErrWave);
}
