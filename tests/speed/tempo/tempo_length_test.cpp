// The output's length: exactly floor(input frames × 100 / speed), at the
// end and never more on the way.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <tuple>
#include <utility>

#include "tempo_runs.h"

namespace {

using tavrel::tempo::TempoFormat;
using tavrel::tempo::TempoOutputFrames;
using tavrel::tempo::TempoStretcher;

// a × b exactly, as (high, low) 64-bit halves: the test's own arithmetic,
// which every host has (no 128-bit type on 32-bit ones).
std::pair<std::uint64_t, std::uint64_t> Product(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t low = (a & 0xFFFFFFFFu) * (b & 0xFFFFFFFFu);
  const std::uint64_t middle1 = (a >> 32) * (b & 0xFFFFFFFFu);
  const std::uint64_t middle2 = (a & 0xFFFFFFFFu) * (b >> 32);
  const std::uint64_t carry = ((low >> 32) + (middle1 & 0xFFFFFFFFu) + (middle2 & 0xFFFFFFFFu)) >> 32;
  return {(a >> 32) * (b >> 32) + (middle1 >> 32) + (middle2 >> 32) + carry, a * b};
}

// r = floor(input × 100 / speed) exactly when r × speed <= input × 100 <
// (r + 1) × speed.
TEST(TempoOutputFrames, IsTheFloorOfTheExactQuotient) {
  const std::uint64_t inputs[] = {0,          1,          99,       100,        101,
                                  44100,      4294967295u, (1ull << 56) - 1, 1ull << 56};
  const std::int32_t speeds[] = {1, 3, 50, 99, 100, 101, 150, 7919, 65536, INT32_MAX};
  for (const std::uint64_t input : inputs) {
    for (const std::int32_t speed : speeds) {
      const std::uint64_t frames = TempoOutputFrames(input, speed);
      const auto step = static_cast<std::uint64_t>(speed);
      const auto scaled = Product(input, 100);
      EXPECT_LE(Product(frames, step), scaled) << input << " frames at " << speed;
      EXPECT_GT(Product(frames + 1, step), scaled) << input << " frames at " << speed;
    }
  }
}

// (speed, input frames): at 8 kHz a piece is 320 frames, its fade 80 and
// the search 120 either way, so the lengths cover nothing, less than a fade
// or a piece, about one piece, and many.
class OutputLength : public ::testing::TestWithParam<std::tuple<std::int32_t, std::uint32_t>> {};

TEST_P(OutputLength, IsTheRuleExactlyAndNeverMoreWhileInputArrives) {
  const auto [speed, frames] = GetParam();
  const TempoFormat format{2, 8000, 16};
  const tempo_test::Samples input = tempo_test::Varied(format, frames, 7);
  TempoStretcher stretcher;
  ASSERT_EQ(stretcher.Configure(format, speed), TempoStretcher::Setup::kReady);
  tempo_test::CountedFrames sink;
  constexpr std::uint32_t kBlock = 997;
  for (std::uint32_t at = 0; at < frames; at += kBlock) {
    ASSERT_TRUE(stretcher.Push(input.data() + 2u * at, std::min(kBlock, frames - at), sink));
    EXPECT_LE(sink.count, TempoOutputFrames(stretcher.inputFrames(), speed));
  }
  ASSERT_TRUE(stretcher.Finish(sink));
  EXPECT_EQ(sink.count, TempoOutputFrames(frames, speed));
  EXPECT_EQ(stretcher.outputFrames(), sink.count);
  EXPECT_EQ(stretcher.inputFrames(), frames);
}

INSTANTIATE_TEST_SUITE_P(
    , OutputLength,
    ::testing::Combine(::testing::Values(1, 2, 25, 33, 50, 99, 100, 101, 150, 200, 333, 400, 1000,
                                         65535, INT32_MAX),
                       ::testing::Values(0u, 1u, 2u, 3u, 79u, 81u, 319u, 320u, 321u, 401u, 1000u,
                                         8000u, 24001u)));

}  // namespace
