#include "platform/net.h"

#include <winsock2.h>

#include <gtest/gtest.h>

namespace {

TEST(NetWin32, LocalHostName) {
  ASSERT_TRUE(platform::StartNetwork());
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  EXPECT_EQ(platform::LocalHostName(), name);
  EXPECT_EQ(platform::LocalHostName(1), "");
}

}  // namespace
