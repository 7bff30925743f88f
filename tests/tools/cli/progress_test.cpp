// progress_test.cpp: the download's progress bar and its line-per-quarter form.
#include "progress.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kv::cli {
namespace {

TEST(ProgressBar, MarksPercentAndBytes) {
  EXPECT_EQ("[..........]   0%  0/3200 bytes", ProgressBar(0, 3200, 10));
  EXPECT_EQ("[#####.....]  50%  1600/3200 bytes", ProgressBar(1600, 3200, 10));
  // 3168 of 3200 is 99 %, and 9.9 marks show as 9.
  EXPECT_EQ("[#########.]  99%  3168/3200 bytes", ProgressBar(3168, 3200, 10));
  EXPECT_EQ("[##########] 100%  3200/3200 bytes", ProgressBar(3200, 3200, 10));
  EXPECT_EQ("[##########] 100%  3200/3200 bytes", ProgressBar(4000, 3200, 10));
}

TEST(ProgressDisplay, TerminalRedrawsInPlaceAndEndsTheLine) {
  std::ostringstream out;
  ProgressDisplay display(out, true, "dl");
  display.Update(32, 64);
  display.Update(64, 64);
  display.Finish();
  EXPECT_EQ("\rdl " + ProgressBar(32, 64, 30) + "\rdl " + ProgressBar(64, 64, 30) + "\n", out.str());
}

TEST(ProgressDisplay, ElsewhereOneLinePerQuarter) {
  std::ostringstream out;
  ProgressDisplay display(out, false, "dl");
  for (size_t received = 32; received <= 3200; received += 32) display.Update(received, 3200);
  display.Finish();
  EXPECT_EQ("dl 800/3200 bytes\ndl 1600/3200 bytes\ndl 2400/3200 bytes\ndl 3200/3200 bytes\n", out.str());
}

}  // namespace
}  // namespace kv::cli
