// The clock that deadlines run on and the abort flag that ends waits.
#include <gtest/gtest.h>

#include <future>

#include "link/abort_flag.h"
#include "link/tick_clock.h"

namespace zel {
namespace {

TEST(ManualClockTest, SleepEndsOnlyWhenTheClockReachesTheDeadline) {
  ManualTickClock clock;
  AbortFlag abort;
  const Millis deadline = clock.Now() + Millis(500);
  auto slept = std::async(std::launch::async, [&] { return SleepUntil(clock, abort, deadline); });
  ASSERT_TRUE(clock.WaitForSleeper());
  clock.Advance(Millis(499));
  EXPECT_EQ(slept.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  clock.Advance(Millis(1));
  ASSERT_EQ(slept.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(slept.get());
}

TEST(ManualClockTest, AbortWakesASleepAtOnce) {
  ManualTickClock clock;
  AbortFlag abort;
  auto slept = std::async(std::launch::async, [&] { return SleepUntil(clock, abort, clock.Now() + Millis(80000)); });
  ASSERT_TRUE(clock.WaitForSleeper());
  abort.Set();
  ASSERT_EQ(slept.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(slept.get());
  EXPECT_EQ(clock.Sleepers(), 0u);
}

TEST(SystemClockTest, PollTimeoutRoundsTheRemainingTimeAndIsZeroOnceDue) {
  TickClock& clock = SystemClock();
  EXPECT_EQ(clock.PollTimeout(clock.Now() - Millis(1)), 0);
  const int t = clock.PollTimeout(clock.Now() + Millis(1500));
  EXPECT_GT(t, 1000);
  EXPECT_LE(t, 1500);
  ManualTickClock manual;
  EXPECT_EQ(manual.PollTimeout(manual.Now() + Millis(5)), -1);
}

}  // namespace
}  // namespace zel
