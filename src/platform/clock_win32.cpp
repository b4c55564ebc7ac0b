#include <windows.h>

#include "platform/clock.h"

namespace platform::detail {

UtcTime SystemNowUtc() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  UtcTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  return result;
}

}  // namespace platform::detail
