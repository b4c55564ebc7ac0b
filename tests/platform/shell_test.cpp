#include "platform/shell.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using platform::CutAtPlaceholder;

constexpr std::string_view kWindows[] = {"%1"};
constexpr std::string_view kDesktop[] = {"%u", "%U", "%f", "%F"};

TEST(CutAtPlaceholder, QuotedPlaceholderIsCutAtItsOpeningQuote) {
  EXPECT_EQ(CutAtPlaceholder(R"("C:\Web\browser.exe" -nohome "%1" -tail)", kWindows),
            R"("C:\Web\browser.exe" -nohome )");
  // The quoted form wins even when a bare placeholder comes earlier.
  EXPECT_EQ(CutAtPlaceholder(R"(browser %1 "%1")", kWindows), "browser %1 ");
  EXPECT_EQ(CutAtPlaceholder(R"(firefox-esr "%u" --new)", kDesktop), "firefox-esr ");
}

TEST(CutAtPlaceholder, BarePlaceholderIsCutWhereItStands) {
  EXPECT_EQ(CutAtPlaceholder(R"(C:\Web\browser.exe %1 -tail)", kWindows), R"(C:\Web\browser.exe )");
  EXPECT_EQ(CutAtPlaceholder("/usr/bin/chromium %U", kDesktop), "/usr/bin/chromium ");
  // The earliest of several placeholders counts.
  EXPECT_EQ(CutAtPlaceholder("viewer --a %F --b %u", kDesktop), "viewer --a ");
}

TEST(CutAtPlaceholder, WithoutPlaceholderTheWholeTextIsKept) {
  EXPECT_EQ(CutAtPlaceholder(R"("C:\Web\browser.exe" -new)", kWindows),
            R"("C:\Web\browser.exe" -new)");
  EXPECT_EQ(CutAtPlaceholder("epiphany", kDesktop), "epiphany");
  // Placeholders of the other system are ordinary text.
  EXPECT_EQ(CutAtPlaceholder("browser %u", kWindows), "browser %u");
  EXPECT_EQ(CutAtPlaceholder("", kDesktop), "");
}

}  // namespace
