#include "platform/shell.h"

#include <gtest/gtest.h>

namespace {

using platform::CutAtPlaceholder;

TEST(CutAtPlaceholder, QuotedPlaceholderIsCutAtItsOpeningQuote) {
  EXPECT_EQ(CutAtPlaceholder(R"("C:\Web\browser.exe" -nohome "%1" -tail)"),
            R"("C:\Web\browser.exe" -nohome )");
  // The quoted form wins even when a bare placeholder comes earlier.
  EXPECT_EQ(CutAtPlaceholder(R"(browser %1 "%1")"), "browser %1 ");
}

TEST(CutAtPlaceholder, BarePlaceholderIsCutWhereItStands) {
  EXPECT_EQ(CutAtPlaceholder(R"(C:\Web\browser.exe %1 -tail)"), R"(C:\Web\browser.exe )");
  EXPECT_EQ(CutAtPlaceholder("viewer --a %1 --b %1"), "viewer --a ");
}

TEST(CutAtPlaceholder, WithoutPlaceholderTheWholeTextIsKept) {
  EXPECT_EQ(CutAtPlaceholder(R"("C:\Web\browser.exe" -new)"), R"("C:\Web\browser.exe" -new)");
  // Placeholders of desktop entries are ordinary text here.
  EXPECT_EQ(CutAtPlaceholder("browser %u"), "browser %u");
  EXPECT_EQ(CutAtPlaceholder(""), "");
}

TEST(IsOpened, OnlyCodesAboveTheShellsErrorsMeanOpened) {
  EXPECT_TRUE(platform::IsOpened(platform::kShellOpened));
  EXPECT_TRUE(platform::IsOpened(33));
  EXPECT_FALSE(platform::IsOpened(platform::kShellDllNotFound));
  EXPECT_FALSE(platform::IsOpened(platform::kShellOutOfResources));
  EXPECT_FALSE(platform::IsOpened(-1));
}

}  // namespace
