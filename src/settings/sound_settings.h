// The sound cues: section "sound" of the settings file.
#pragma once

#include <string>

class CSoundSettings {
 public:
  // Reads "play", "begin", "ok", "err" into the fields.
  void ReadSettings();
  void WriteSettings() const;

  std::string m_strBeginWave;
  std::string m_strOkWave;
  std::string m_strErrWave;
  int m_bPlay = 0;
};
