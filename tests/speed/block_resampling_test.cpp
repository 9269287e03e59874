#include "block_resampling.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using tavrel::FrameLayout;
using Bytes = std::vector<std::uint8_t>;

// Samples are written and read little-endian, `width` bytes each.
Bytes Pack(const std::vector<std::int64_t>& samples, unsigned width) {
  Bytes bytes;
  for (const std::int64_t sample : samples) {
    const auto bits = static_cast<std::uint64_t>(sample);
    for (unsigned i = 0; i < width; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
  }
  return bytes;
}

std::int64_t SampleAt(const std::uint8_t* frames, std::size_t index, unsigned width, bool isSigned) {
  std::uint64_t bits = 0;
  for (unsigned i = 0; i < width; ++i) {
    bits |= std::uint64_t{frames[index * width + i]} << (8 * i);
  }
  if (isSigned && (bits >> (8 * width - 1)) != 0) {
    return static_cast<std::int64_t>(bits) - (std::int64_t{1} << (8 * width));
  }
  return static_cast<std::int64_t>(bits);
}

struct Resampled {
  Bytes output;
  struct {
    const std::uint8_t* frames;
    std::uint32_t count;
  } block;
};

// Resamples `input` as one block into an output area that holds other
// bytes before (as a reused buffer does), so that every byte the strategy
// must write is seen to be written.
Resampled Resample(const Bytes& input, const FrameLayout& layout, std::int32_t speedPercent,
                   tavrel::VectorPath path = tavrel::FastestVectorPath()) {
  const auto frames = static_cast<std::uint32_t>(input.size() / layout.blockAlign);
  const std::uint32_t count = tavrel::ResampledFrameCount(frames, speedPercent);
  Resampled run;
  run.output.assign(std::size_t{count} * layout.blockAlign, 0xA5);
  if (speedPercent > 100) {
    tavrel::FramePicks picks;
    EXPECT_TRUE(picks.Compute(speedPercent));
    tavrel::ShrinkFrames(input.data(), frames, layout.blockAlign, picks, 0, count, run.output.data(),
                         path);
  } else if (speedPercent < 100) {
    tavrel::StretchPositions positions;
    EXPECT_TRUE(positions.Allocate(speedPercent));
    positions.ComputeUpTo(count);
    tavrel::StretchFrames(input.data(), frames, layout, positions, 0, count, run.output.data(), path);
  }
  run.block = {run.output.data(), count};
  return run;
}

std::vector<std::int64_t> Samples(const Resampled& run, unsigned width, bool isSigned, std::size_t perFrame = 1) {
  std::vector<std::int64_t> samples;
  for (std::size_t i = 0; i < std::size_t{run.block.count} * perFrame; ++i) {
    samples.push_back(SampleAt(run.block.frames, i, width, isSigned));
  }
  return samples;
}

constexpr FrameLayout kMono8{1, 1, 8};
constexpr FrameLayout kMono16{1, 2, 16};
constexpr FrameLayout kMono24{1, 3, 24};
constexpr FrameLayout kMono32{1, 4, 32};

std::vector<std::int64_t> Ramp(std::size_t count, std::int64_t start, std::int64_t step) {
  std::vector<std::int64_t> values;
  for (std::size_t k = 0; k < count; ++k) {
    values.push_back(start + static_cast<std::int64_t>(k) * step);
  }
  return values;
}

TEST(FrameCounts, FollowTheSpeed) {
  EXPECT_EQ(tavrel::ResampledFrameCount(1024, 50), 2048u);
  EXPECT_EQ(tavrel::ResampledFrameCount(1024, 200), 512u);
  EXPECT_EQ(tavrel::ResampledFrameCount(1, 300), 0u);
  EXPECT_EQ(tavrel::ResampledFrameCount(7, 150), 4u);
  EXPECT_EQ(tavrel::ResampledFrameCount(1024, 0x7FFFFFFF), 0u);
  EXPECT_EQ(tavrel::ResampledFrameCount(1000, 100), 1000u);
}

TEST(ShrinkBlock, PicksWholeFramesAtMultiplesOfTheSpeed) {
  const Bytes full = Pack(Ramp(1024, -5000, 9), 2);
  const Resampled doubled = Resample(full, kMono16, 200);
  ASSERT_EQ(doubled.block.count, 512u);
  const auto picked = Samples(doubled, 2, true);
  for (std::size_t i = 0; i < 512; ++i) {
    ASSERT_EQ(picked[i], -5000 + static_cast<std::int64_t>(2 * i) * 9) << i;
  }

  // 150 on seven frames takes frames 0, 1, 3 and 4.
  EXPECT_EQ(Samples(Resample(Pack({10, 11, 12, 13, 14, 15, 16}, 2), kMono16, 150), 2, true),
            (std::vector<std::int64_t>{10, 11, 13, 14}));

  // 300 on one frame makes nothing.
  EXPECT_EQ(Resample(Pack({42}, 2), kMono16, 300).block.count, 0u);
}

TEST(ShrinkBlock, MovesFramesOfAnyWidthUntouched) {
  // Five-byte frames of an odd layout: whole frames move, padding and all.
  const FrameLayout odd{2, 5, 12};
  Bytes input;
  for (std::uint8_t frame = 0; frame < 9; ++frame) {
    for (std::uint8_t b = 0; b < 5; ++b) {
      input.push_back(static_cast<std::uint8_t>(frame * 16 + b));
    }
  }
  const Resampled run = Resample(input, odd, 300);
  ASSERT_EQ(run.block.count, 3u);
  const Bytes expected = {0x00, 0x01, 0x02, 0x03, 0x04, 0x30, 0x31, 0x32, 0x33, 0x34,
                          0x60, 0x61, 0x62, 0x63, 0x64};
  EXPECT_EQ(Bytes(run.block.frames, run.block.frames + 15), expected);
}

TEST(StretchBlock, HalfSpeedRepeatsFramesAndTruncatesMidpointsTowardZero) {
  std::vector<std::int64_t> values = Ramp(1024, -1500, 3);
  values[0] = -3;  // midpoint of -3 and 0 is -1.5, truncated to -1
  values[1] = 0;
  const Resampled run = Resample(Pack(values, 2), kMono16, 50);
  ASSERT_EQ(run.block.count, 2048u);
  const auto out = Samples(run, 2, true);
  EXPECT_EQ(out[1], -1);
  for (std::size_t i = 0; i + 1 < 1024; ++i) {
    ASSERT_EQ(out[2 * i], values[i]) << i;
    const double midpoint = static_cast<double>(values[i] + values[i + 1]) / 2;
    ASSERT_EQ(out[2 * i + 1], static_cast<std::int64_t>(midpoint)) << i;
  }
  // The block's last frame has no successor inside the block: it is
  // interpolated with itself.
  EXPECT_EQ(out[2046], values[1023]);
  EXPECT_EQ(out[2047], values[1023]);
}

TEST(StretchBlock, QuarterSpeedClampsNothingAtTheExtremes) {
  // At 25 the fractions are exactly 0, 0.25, 0.5 and 0.75.
  const Resampled wide16 = Resample(Pack({-32768, 32767}, 2), kMono16, 25);
  EXPECT_EQ(Samples(wide16, 2, true),
            (std::vector<std::int64_t>{-32768, -16384, 0, 16383, 32767, 32767, 32767, 32767}));

  // 8 bits: the +128 comes after truncation, so -0.5 becomes 128, not 127.
  const Resampled wide8 = Resample(Pack({0, 255}, 1), kMono8, 25);
  EXPECT_EQ(Samples(wide8, 1, false),
            (std::vector<std::int64_t>{0, 64, 128, 191, 255, 255, 255, 255}));
  const Resampled down8 = Resample(Pack({255, 0}, 1), kMono8, 25);
  EXPECT_EQ(Samples(down8, 1, false),
            (std::vector<std::int64_t>{255, 191, 128, 64, 0, 0, 0, 0}));
}

TEST(StretchBlock, TwentyFourBitSamplesAreSigned) {
  // FF FF FF is -1; interpolated with itself it stays FF FF FF.
  const Resampled minusOne = Resample(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, kMono24, 50);
  EXPECT_EQ(Bytes(minusOne.block.frames, minusOne.block.frames + 12), Bytes(12, 0xFF));

  const Resampled crossing = Resample(Pack({-8388608, 8388607, -1, 1}, 3), kMono24, 50);
  EXPECT_EQ(Samples(crossing, 3, true),
            (std::vector<std::int64_t>{-8388608, 0, 8388607, 4194303, -1, 0, 1, 1}));
}

TEST(StretchBlock, PositionIsScaledByTheConstantOneHundredth) {
  // At speed 1, output frame 57 lies at 57 × 1 × 0.01 = 0.5700000000000001,
  // just past 0.57: between samples 0 and 100 that gives 57, where dividing
  // by 100 would give 56.
  const Resampled run = Resample(Pack({0, 100, 200}, 3), kMono24, 1);
  ASSERT_EQ(run.block.count, 300u);
  const auto out = Samples(run, 3, true);
  EXPECT_EQ(out[57], 57);
}

TEST(StretchBlock, SixteenBitSamplesAreInterpolatedInSinglePrecision) {
  // At speed 1, output frame 7 lies at 0.07 between samples -15 and 85. In
  // single precision 100 × 0.07f + -15 comes to exactly -8; in double
  // precision, 100 × 0.07 is just over 7 and the sum truncates to -7. The
  // 24-bit rule is the double one. Frame 15 (at 0.15, between -31 and 69)
  // rounds the other way: -15 in single precision, -16 in double. The rest
  // of the full block lets the wide kernels take these frames too.
  for (const auto path : {tavrel::VectorPath::kPortable, tavrel::VectorPath::kAvx2,
                          tavrel::VectorPath::kAvx512}) {
    if (!tavrel::CanUseVectorPath(path)) {
      continue;
    }
    std::vector<std::int64_t> values(1024, 0);
    values[0] = -15;
    values[1] = 85;
    EXPECT_EQ(Samples(Resample(Pack(values, 2), kMono16, 1, path), 2, true)[7], -8);
    EXPECT_EQ(Samples(Resample(Pack(values, 3), kMono24, 1, path), 3, true)[7], -7);
    values[0] = -31;
    values[1] = 69;
    EXPECT_EQ(Samples(Resample(Pack(values, 2), kMono16, 1, path), 2, true)[15], -15);
    EXPECT_EQ(Samples(Resample(Pack(values, 3), kMono24, 1, path), 3, true)[15], -16);
  }
}

TEST(StretchBlock, ThirtyTwoBitSamplesFarApartInterpolateWithoutWrapping) {
  const std::int64_t lowest = -2147483648LL;
  const std::int64_t highest = 2147483647LL;
  const Resampled run = Resample(Pack({lowest, highest, -2, highest}, 4), kMono32, 50);
  EXPECT_EQ(Samples(run, 4, true),
            (std::vector<std::int64_t>{lowest, 0, highest, 1073741822, -2, 1073741822, highest, highest}));
}

TEST(StretchBlock, EachChannelIsInterpolatedOnItsOwn) {
  const FrameLayout stereo{2, 4, 16};
  const Resampled run = Resample(Pack({100, -100, 200, -300}, 2), stereo, 50);
  EXPECT_EQ(Samples(run, 2, true, 2),
            (std::vector<std::int64_t>{100, -100, 150, -200, 200, -300, 200, -300}));
}

TEST(StretchBlock, BytesNoRuleComputesAreZero) {
  // Stereo 16-bit in six-byte frames: the last two bytes of every frame are
  // padding.
  const FrameLayout padded{2, 6, 16};
  const Bytes input = {1, 0, 2, 0, 0xAA, 0xBB, 3, 0, 4, 0, 0xCC, 0xDD};
  const Resampled run = Resample(input, padded, 50);
  ASSERT_EQ(run.block.count, 4u);
  const Bytes expected = {1, 0, 2, 0, 0, 0, 2, 0, 3, 0, 0, 0,
                          3, 0, 4, 0, 0, 0, 3, 0, 4, 0, 0, 0};
  EXPECT_EQ(Bytes(run.block.frames, run.block.frames + 24), expected);

  // 12-bit samples have no rule; no channels means no samples.
  for (const FrameLayout layout : {FrameLayout{1, 2, 12}, FrameLayout{0, 2, 16}}) {
    const Resampled zeros = Resample(Bytes{7, 7, 9, 9}, layout, 50);
    ASSERT_EQ(zeros.block.count, 4u);
    EXPECT_EQ(Bytes(zeros.block.frames, zeros.block.frames + 8), Bytes(8, 0));
  }
}

TEST(StretchBlock, NeedsEverySampleInsideItsFrame) {
  EXPECT_TRUE(tavrel::SamplesFitInFrame({2, 4, 16}));
  EXPECT_TRUE(tavrel::SamplesFitInFrame({2, 6, 16}));
  EXPECT_TRUE(tavrel::SamplesFitInFrame({1, 1, 12}));
  EXPECT_FALSE(tavrel::SamplesFitInFrame({2, 2, 16}));
  EXPECT_FALSE(tavrel::SamplesFitInFrame({65535, 65535, 65535}));
}

TEST(StretchPositions, IntegerPartIsExactAtEverySlowSpeed) {
  // The integer part of i × s × 0.01 equals i × s / 100 for every position a
  // full block produces, so no read falls past the block, and the fraction
  // stays in [0, 1).
  for (std::int32_t s = 1; s < 100; ++s) {
    tavrel::StretchPositions positions;
    ASSERT_TRUE(positions.Allocate(s));
    positions.ComputeUpTo(tavrel::ResampledFrameCount(1024, s));
    const auto step = static_cast<std::uint32_t>(s);
    for (std::uint32_t i = 0; i < tavrel::ResampledFrameCount(1024, s); ++i) {
      ASSERT_EQ(positions.FrameAt(i), i * step / 100) << "s=" << s << " i=" << i;
      ASSERT_GE(positions.FractionAt(i), 0.0);
      ASSERT_LT(positions.FractionAt(i), 1.0);
    }
  }
}

TEST(StretchBlock, ChannelsBeyondOneChunkAreAllComputed) {
  // 1500 channels do not fit one chunk of samples; each must still be
  // interpolated with its own neighbour.
  constexpr std::uint16_t kChannels = 1500;
  const FrameLayout wide{kChannels, 2 * kChannels, 16};
  std::vector<std::int64_t> values;
  for (std::int64_t frame = 0; frame < 2; ++frame) {
    for (std::int64_t c = 0; c < kChannels; ++c) {
      values.push_back(frame == 0 ? c : c + 2 * (c % 7));
    }
  }
  const Resampled run = Resample(Pack(values, 2), wide, 50);
  ASSERT_EQ(run.block.count, 4u);
  const auto out = Samples(run, 2, true, kChannels);
  for (std::size_t c = 0; c < kChannels; ++c) {
    const auto channel = static_cast<std::int64_t>(c);
    ASSERT_EQ(out[c], channel) << c;
    ASSERT_EQ(out[kChannels + c], channel + channel % 7) << c;
    ASSERT_EQ(out[3 * kChannels + c], channel + 2 * (channel % 7)) << c;
  }
}

}  // namespace
