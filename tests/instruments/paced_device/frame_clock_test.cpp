#include "frame_clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace paced_device {
namespace {

TEST(FrameClock, CountsWholeFramesAtRateTimesSpeed) {
  const FrameClock realTime(8000, 1000);
  EXPECT_EQ(realTime.FramesAt(0), 0u);
  EXPECT_EQ(realTime.FramesAt(124), 0u);  // a frame every 125 µs
  EXPECT_EQ(realTime.FramesAt(125), 1u);
  EXPECT_EQ(realTime.FramesAt(1000000), 8000u);

  const FrameClock halfSpeed(8000, 500);
  EXPECT_EQ(halfSpeed.FramesAt(1000000), 4000u);
  EXPECT_EQ(halfSpeed.FramesAt(249), 0u);
  EXPECT_EQ(halfSpeed.FramesAt(250), 1u);

  // 3 Hz at a thousandth: a frame every 333.33 s.
  const FrameClock slowest(3, 1);
  EXPECT_EQ(slowest.FramesAt(333333333), 0u);
  EXPECT_EQ(slowest.FramesAt(333333334), 1u);
  EXPECT_EQ(slowest.MomentOf(1), 333333334u);
}

TEST(FrameClock, StaysExactAtTheFastestSettingForDays) {
  const FrameClock fastest(kMaximumRate, kMaximumSpeedThousandths);  // 384 frames per µs
  const std::uint64_t tenDays = 10ull * 86400 * 1000000;
  EXPECT_EQ(fastest.FramesAt(tenDays), tenDays * 384);
  EXPECT_EQ(fastest.FramesAt(tenDays + 1), tenDays * 384 + 384);
  EXPECT_EQ(fastest.MomentOf(tenDays * 384), tenDays);
  EXPECT_EQ(fastest.MomentOf(tenDays * 384 + 1), tenDays + 1);
}

TEST(FrameClock, MomentOfIsTheFirstMicrosecondWithThatManyFrames) {
  const FrameClock clocks[] = {{1, 1}, {1, 1000}, {7, 333}, {8000, 1000},
                               {44100, 1500}, {48000, 999999}, {kMaximumRate, 1}};
  for (const FrameClock& clock : clocks) {
    for (std::uint64_t frames : {1ull, 2ull, 3ull, 99ull, 1000ull, 44101ull, 12345678ull}) {
      const std::uint64_t moment = clock.MomentOf(frames);
      EXPECT_GE(clock.FramesAt(moment), frames);
      ASSERT_GT(moment, 0u);
      EXPECT_LT(clock.FramesAt(moment - 1), frames);
    }
  }
}

}  // namespace
}  // namespace paced_device
