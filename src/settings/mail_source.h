// The mail source: section "maildir" of the settings file.
#pragma once

#include <cstdint>
#include <string>

// What a run does when a message or a recipient fails ("onerror").
enum OnErrorMode {
  OnErrorStop = 0,      // the first failure ends the run, nothing is recorded per message
  OnErrorKeepGoing = 1, // refused recipients are recorded, temporary failures tried again
};

inline constexpr std::int32_t kDefaultRetryMinutes = 30;
inline constexpr std::int32_t kDefaultMaxErrors = 10;

class CMailSource {
 public:
  // Reads "maildir", "address", "mailsubject", "rate", "onerror", "retry",
  // "maxerrors", "exclude", "unsubscribe" and "advert" into the fields; a
  // missing key gives its default.
  void ReadSettings();
  void WriteSettings() const;

  std::string m_strMailDir;
  std::string m_strAddressFile;
  std::string m_strSubject;
  // At most this many messages a minute; 0 (also for a missing key or a
  // negative value) sends as fast as the server answers.
  std::int32_t m_nRate = 0;
  // OnErrorMode; a missing key or any value but 1 stops at the first failure,
  // so a file stored before the key existed behaves as before.
  std::int32_t m_nOnError = OnErrorStop;
  // Minutes, after the first pass, during which temporary failures are tried
  // again (keep-going runs); missing: 30, 0 or negative: no retries.
  std::int32_t m_nRetryMinutes = kDefaultRetryMinutes;
  // A keep-going run ends after this many messages in a row were not
  // delivered; missing, 0 or negative: 10.
  std::int32_t m_nMaxErrors = kDefaultMaxErrors;
  // Addresses never to send to, one a line; relative to the start directory.
  std::string m_strExcludeFile;
  // "" or an https address where a recipient unsubscribes; may hold fields
  // ("{{邮箱}}"). Every message names the sender's mailto: address as well.
  std::string m_strUnsubscribe;
  // 1: commercial mail ("(广告)" before the subject, a line on how to refuse
  // further mail); missing or any other value: 0.
  std::int32_t m_bAdvert = 0;

  bool KeepGoing() const { return m_nOnError == OnErrorKeepGoing; }
};
