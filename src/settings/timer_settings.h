// The daily send time and schedule flag: section "timer" of the settings file.
#pragma once

class CTimerSettings {
 public:
  // Reads "hour", "minute", "timer" into the fields, as stored, unchecked.
  void ReadSettings();
  // Writes "hour", "minute" (decimal) and "timer" ("1" or "0").
  void WriteSettings() const;

  int m_nMinute = 0;
  int m_nHour = 0;
  int m_bTimer = 1;
};
