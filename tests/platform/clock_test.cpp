#include "platform/clock.h"

#include <gtest/gtest.h>

TEST(Clock, TestClockStandsInUntilCleared) {
  platform::UtcTime fixed;
  fixed.year = 1999;
  fixed.second = 42;
  platform::SetTestClock([fixed] { return fixed; });
  EXPECT_EQ(platform::NowUtc().year, 1999);
  EXPECT_EQ(platform::NowUtc().second, 42);
  platform::SetTestClock(nullptr);
  const platform::UtcTime now = platform::NowUtc();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
}
