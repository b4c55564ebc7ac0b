#include "platform/net.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(NetTest, LocalHostName) {
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  EXPECT_EQ(platform::LocalHostName(), name);
  EXPECT_EQ(platform::LocalHostName(1), "");
}

}  // namespace
