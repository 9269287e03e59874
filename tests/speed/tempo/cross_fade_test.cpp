// The fade at every depth's extremes: each result is its blend rounded one
// way or the other, so it stays between its two samples; narrow samples
// take 32-bit arithmetic, which must not overflow.
#include "cross_fade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using tavrel::tempo::CrossFade;

class FadeDepth : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(FadeDepth, GivesEachBlendRoundedBetweenItsSamples) {
  const std::uint32_t bits = GetParam();
  const std::int64_t highest = (std::int64_t{1} << (bits - 1)) - 1;
  const std::int64_t lowest = -highest - 1;
  for (const std::uint32_t channels : {1u, 2u, 3u}) {
    constexpr std::uint32_t kFrames = 441;
    CrossFade fade;
    ASSERT_TRUE(fade.Allocate(kFrames, channels, bits));
    // Extremes against extremes, jumps and runs, and a seeded spread.
    std::vector<std::int32_t> outgoing((kFrames + 1) * channels);
    std::vector<std::int32_t> incoming(kFrames * channels);
    std::uint32_t seed = 99 + channels;
    for (std::size_t i = 0; i < outgoing.size(); ++i) {
      seed = seed * 1664525u + 1013904223u;
      const std::int64_t spread = lowest + static_cast<std::int64_t>(seed % (highest - lowest + 1));
      outgoing[i] = static_cast<std::int32_t>(i % 7 == 0 ? lowest : i % 5 == 0 ? highest : spread);
      if (i < incoming.size()) {
        incoming[i] = static_cast<std::int32_t>(i % 7 == 0 ? highest : i % 3 == 0 ? lowest : -spread - 1);
      }
    }
    std::vector<std::int32_t> output(incoming.size());
    fade.Blend(outgoing.data(), incoming.data(), incoming.data(), channels, output.data());
    for (std::size_t i = 0; i < output.size(); ++i) {
      const double a = outgoing[i + channels];
      const double b = incoming[i];
      const double exact = a + (b - a) * fade.WeightAt(static_cast<std::uint32_t>(i / channels)) /
                                   tavrel::tempo::kUnitWeight;
      EXPECT_LT(std::abs(output[i] - exact), 1.0) << bits << " bits, sample " << i;
      EXPECT_GE(output[i], std::min(a, b));
      EXPECT_LE(output[i], std::max(a, b));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(, FadeDepth, ::testing::Values(8u, 16u, 24u, 32u));

// The weights rise from just above 0 to just below 1, evenly.
TEST(CrossFadeWeights, RiseEvenlyWithoutReachingEitherEnd) {
  for (const std::uint32_t frames : {1u, 2u, 80u, 441u, 3840u}) {
    CrossFade fade;
    ASSERT_TRUE(fade.Allocate(frames, 1, 16));
    for (std::uint32_t j = 0; j < frames; ++j) {
      const double ideal = (j + 1.0) * tavrel::tempo::kUnitWeight / (frames + 1.0);
      EXPECT_LE(std::abs(fade.WeightAt(j) - ideal), 0.5) << frames << " frames, " << j;
      EXPECT_GT(fade.WeightAt(j), 0u);
      EXPECT_LT(fade.WeightAt(j), tavrel::tempo::kUnitWeight);
    }
  }
}

}  // namespace
