#include <ctime>

#include "platform/clock.h"

namespace platform::detail {

UtcTime SystemNowUtc() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  UtcTime result;
  if (gmtime_r(&now, &parts) == nullptr) return result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  return result;
}

}  // namespace platform::detail
