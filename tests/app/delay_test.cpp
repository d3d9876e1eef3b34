#include "app/delay.h"

#include <gtest/gtest.h>

#include <chrono>

#include "app/program_dir.h"

namespace tarnlow {
namespace {

using Clock = std::chrono::steady_clock;

Clock::duration TimeOf(int milliseconds) {
  const auto start = Clock::now();
  Delay(milliseconds);
  return Clock::now() - start;
}

// One test: the binding is process-wide.
TEST(DelayLibrary, WaitsUnboundAndBoundFromTheProgramFolder) {
  EXPECT_FALSE(BindDelayLibrary("/nonexistent-folder"));
  EXPECT_FALSE(DelayLibraryBound());
  EXPECT_GE(TimeOf(40), std::chrono::milliseconds(40));

  const std::filesystem::path binDir = TARNLOW_TEST_BIN_DIR;
  EXPECT_TRUE(std::filesystem::equivalent(ExecutableDir(), binDir));
  ASSERT_TRUE(BindDelayLibrary(binDir));
  EXPECT_TRUE(DelayLibraryBound());
  EXPECT_GE(TimeOf(60), std::chrono::milliseconds(60));
  // No wait at all; the bound only leaves room for a busy machine.
  EXPECT_LT(TimeOf(0), std::chrono::seconds(1));
  EXPECT_LT(TimeOf(-5), std::chrono::seconds(1));

  // A failed rebinding falls back to the plain wait.
  EXPECT_FALSE(BindDelayLibrary(binDir / "no-such-subfolder"));
  EXPECT_FALSE(DelayLibraryBound());
  EXPECT_GE(TimeOf(30), std::chrono::milliseconds(30));
}

}  // namespace
}  // namespace tarnlow
