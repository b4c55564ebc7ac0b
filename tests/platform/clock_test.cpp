#include "platform/clock.h"

#include <gtest/gtest.h>

TEST(Clock, TestClockStandsInUntilCleared) {
  platform::SetTestClock([] {
    platform::UtcTime t;
    t.year = 2003;
    t.month = 12;
    t.day = 31;
    t.hour = 23;
    t.minute = 30;
    return t;
  });
  const platform::UtcTime fixed = platform::NowUtc();
  EXPECT_EQ(fixed.year, 2003);
  EXPECT_EQ(fixed.minute, 30);
  platform::SetTestClock(nullptr);
  const platform::UtcTime now = platform::NowUtc();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
}
