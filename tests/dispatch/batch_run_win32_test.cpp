#include <gtest/gtest.h>

#include "dispatch/batch_run.h"
#include "platform/dirs.h"

TEST(BatchRunPaths, JoinPathAddsOneSeparator) {
  EXPECT_EQ(platform::JoinPath("C:\\start", "list.txt"), "C:\\start\\list.txt");
  EXPECT_EQ(platform::JoinPath("C:\\", "list.txt"), "C:\\list.txt");
  EXPECT_EQ(platform::JoinPath("C:", "list.txt"), "C:list.txt");
  EXPECT_EQ(platform::JoinPath("", "list.txt"), "\\list.txt");
  EXPECT_EQ(platform::ResolveUnder("C:\\start", "D:\\lists\\a.txt"), "D:\\lists\\a.txt");
  EXPECT_EQ(platform::ResolveUnder("C:\\start", "\\\\server\\share\\a.txt"), "\\\\server\\share\\a.txt");
  EXPECT_EQ(platform::ResolveUnder("C:\\start", "a.txt"), "C:\\start\\a.txt");
}
