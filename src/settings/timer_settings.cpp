#include "settings/timer_settings.h"

#include <cstdint>

#include "settings/profile_file.h"

void CTimerSettings::ReadSettings() {
  CProfileFile file = SettingsFile();
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t timer = 0;
  file.ReadInt("timer", "hour", hour);
  file.ReadInt("timer", "minute", minute);
  file.ReadInt("timer", "timer", timer);
  m_bTimer = timer;
  m_nMinute = minute;
  m_nHour = hour;
}

void CTimerSettings::WriteSettings() const {
  CProfileFile file = SettingsFile();
  file.WriteInt("timer", "hour", m_nHour);
  file.WriteInt("timer", "minute", m_nMinute);
  file.WriteBool("timer", "timer", m_bTimer);
}
