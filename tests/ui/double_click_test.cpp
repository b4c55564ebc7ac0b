// Presses paired into double clicks (the notification-area icon on GTK).
#include <chrono>
#include <vector>

#include <gtest/gtest.h>

#include "ui/common/double_click.h"

namespace {

using std::chrono::milliseconds;

TEST(DoubleClickPairer, PairsPressesWithinTheInterval) {
  const milliseconds interval(400);
  const struct {
    const char* name;
    std::vector<int> pressesMs;
    std::vector<bool> completes;
  } cases[] = {
      {"one press", {0}, {false}},
      {"quick pair", {0, 100}, {false, true}},
      {"same instant", {0, 0}, {false, true}},
      {"just too slow", {0, 400}, {false, false}},
      {"slow, then quick", {0, 500, 600}, {false, false, true}},
      {"a third quick press starts anew", {0, 100, 200, 300}, {false, true, false, true}},
      {"a press before the last one", {500, 300}, {false, false}},
  };
  for (const auto& c : cases) {
    CDoubleClickPairer pairer;
    const auto start = CDoubleClickPairer::Clock::now();
    std::vector<bool> completes;
    for (int ms : c.pressesMs) completes.push_back(pairer.Press(start + milliseconds(ms), interval));
    EXPECT_EQ(completes, c.completes) << c.name;
  }
}

TEST(DoubleClickPairer, ResetForgetsTheUnpairedPress) {
  CDoubleClickPairer pairer;
  const auto start = CDoubleClickPairer::Clock::now();
  EXPECT_FALSE(pairer.Press(start, milliseconds(400)));
  pairer.Reset();
  EXPECT_FALSE(pairer.Press(start + milliseconds(100), milliseconds(400)));
}

}  // namespace
