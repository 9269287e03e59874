// The search finds a stretch where it was copied from, falls back on the
// nominal start for silence and ties, and its guide stays within the range
// its 32-bit sums rely on.
#include "similarity_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using tavrel::tempo::MakeTempoPlan;
using tavrel::tempo::SimilaritySearch;
using tavrel::tempo::TempoFormat;
using tavrel::tempo::TempoPlan;
using Guide = std::vector<std::int16_t>;

// Seeded values within ±1500, lightly smoothed as sound is.
Guide Noise(std::size_t count, std::uint32_t seed) {
  Guide guide(count);
  std::int32_t previous = 0;
  for (std::size_t i = 0; i < count; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const auto fresh = static_cast<std::int32_t>(seed >> 20) - 2048;
    previous = (previous + fresh) / 2;
    guide[i] = static_cast<std::int16_t>(previous * 3 / 4);
  }
  return guide;
}

struct Searched {
  TempoPlan plan;
  Guide guide;  // every start's frames
  std::uint32_t starts;
};

Searched Candidates(const TempoFormat& format, std::uint32_t seed) {
  const TempoPlan plan = MakeTempoPlan(format, {});
  const std::uint32_t starts = 2 * plan.search + 1;
  return {plan, Noise(std::size_t{starts - 1 + plan.overlap} * plan.guideLanes, seed), starts};
}

Guide Stretch(const Searched& searched, std::uint32_t start) {
  const std::size_t lanes = searched.plan.guideLanes;
  const auto from = searched.guide.begin() + static_cast<std::ptrdiff_t>(start * lanes);
  return Guide(from, from + static_cast<std::ptrdiff_t>(searched.plan.overlap * lanes));
}

class Format : public ::testing::TestWithParam<TempoFormat> {};

// At every decimation, for starts on and between the coarse grid and at
// both ends, whatever the nominal start.
TEST_P(Format, FindsWhereTheReferenceWasCopiedFrom) {
  const Searched searched = Candidates(GetParam(), 17);
  SimilaritySearch search;
  ASSERT_TRUE(search.Allocate(searched.plan));
  const std::uint32_t last = searched.starts - 1;
  for (const std::uint32_t start : {0u, 1u, searched.plan.decimation / 2, last / 3, last / 2 + 1,
                                    last - 1, last}) {
    const Guide reference = Stretch(searched, start);
    EXPECT_EQ(search.BestStart(reference.data(), searched.guide.data(), searched.starts, last / 2),
              start);
    EXPECT_EQ(search.BestStart(reference.data(), searched.guide.data(), searched.starts, 0), start);
  }
}

// A period of 37 coarse steps: every start a whole number of periods from
// the copied one matches exactly, at coarse resolution too, and the one
// nearest the nominal start wins. Silence leaves the nominal start, or the
// nearest end, as it is.
TEST_P(Format, TakesTheNominalStartWhenNothingElseDecides) {
  Searched searched = Candidates(GetParam(), 23);
  const std::size_t lanes = searched.plan.guideLanes;
  const std::uint32_t period = 37 * searched.plan.decimation;
  for (std::size_t i = period * lanes; i < searched.guide.size(); ++i) {
    searched.guide[i] = searched.guide[i - period * lanes];
  }
  SimilaritySearch search;
  ASSERT_TRUE(search.Allocate(searched.plan));
  const Guide reference = Stretch(searched, period + 3);
  const std::uint32_t last = searched.starts - 1;
  for (const std::uint32_t nominal : {0u, period / 3, last / 2, last - period / 4, last}) {
    std::uint32_t nearest = 3;
    for (std::uint32_t start = 3; start <= last; start += period) {
      if (std::abs(static_cast<std::int64_t>(start) - nominal) <
          std::abs(static_cast<std::int64_t>(nearest) - nominal)) {
        nearest = start;
      }
    }
    EXPECT_EQ(search.BestStart(reference.data(), searched.guide.data(), searched.starts, nominal),
              nearest)
        << "nominal " << nominal;
  }
  const Guide silence(searched.plan.overlap * lanes, 0);
  for (const std::int64_t nominal : {std::int64_t{-5}, std::int64_t{7}, std::int64_t{last} + 9}) {
    EXPECT_EQ(search.BestStart(silence.data(), searched.guide.data(), searched.starts, nominal),
              static_cast<std::uint32_t>(std::clamp<std::int64_t>(nominal, 0, last)));
  }
}

INSTANTIATE_TEST_SUITE_P(, Format,
                         ::testing::Values(TempoFormat{1, 8000, 16}, TempoFormat{2, 16000, 16},
                                           TempoFormat{2, 44100, 24}, TempoFormat{1, 96000, 32},
                                           TempoFormat{5, 48000, 8}));

// Full-scale samples of either sign, in any number of channels and at any
// depth, give guide values within ±kGuideLimit.
TEST(MixGuide, StaysWithinItsLimitAtFullScale) {
  for (const std::uint32_t bits : {8u, 16u, 24u, 32u}) {
    for (const std::uint32_t channels : {1u, 2u, 3u, 5u, 8u, 9u, 255u}) {
      const TempoFormat format{channels, 44100, bits};
      const TempoPlan plan = MakeTempoPlan(format, {});
      for (const std::int32_t sample : {plan.sampleLowest, plan.sampleHighest}) {
        const std::vector<std::int32_t> frame(channels, sample);
        std::int16_t guide[2] = {0, 0};
        tavrel::tempo::MixGuide(frame.data(), 1, channels, plan, guide);
        for (std::uint32_t g = 0; g < plan.guideLanes; ++g) {
          EXPECT_LE(std::abs(guide[g]), tavrel::tempo::kGuideLimit) << bits << " bits, " << channels;
        }
        // Nor needlessly coarse: samples are shifted only as far as it
        // takes for the fuller lane to span at least a quarter of the range.
        EXPECT_TRUE(plan.guideShift == 0 || std::abs(guide[0]) >= tavrel::tempo::kGuideLimit / 4)
            << bits << " bits, " << channels;
      }
    }
  }
}

}  // namespace
