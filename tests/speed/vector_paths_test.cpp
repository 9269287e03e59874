// Every way of computing resampled frames that this processor can take
// writes exactly the bytes of the portable code: for every slow speed and
// the layouts the wide kernels know, for full and short blocks, whole and
// in pieces, and with the output area full of other bytes before.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "block_resampling.h"

namespace {

using tavrel::FrameLayout;
using tavrel::VectorPath;
using Bytes = std::vector<std::uint8_t>;

// Random bytes with runs of 0x00 and 0xFF, so that full-scale samples of
// both signs, and the clamps, are reached.
Bytes BlockBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t run = (i / 48) % 6;
    bytes[i] = run == 2 ? 0xFF : run == 4 ? 0x00 : static_cast<std::uint8_t>(random());
  }
  return bytes;
}

// Output frames [0, count) of one block, produced in pieces that end at each
// of `cuts`, into an area filled with `fill` first.
Bytes Stretch(const Bytes& block, const FrameLayout& layout, std::int32_t speed, VectorPath path,
              const std::vector<std::uint32_t>& cuts, std::uint8_t fill) {
  const auto frames = static_cast<std::uint32_t>(block.size() / layout.blockAlign);
  const std::uint32_t count = tavrel::ResampledFrameCount(frames, speed);
  tavrel::StretchPositions positions;
  EXPECT_TRUE(positions.Allocate(speed));
  positions.ComputeUpTo(count);
  Bytes output(std::size_t{count} * layout.blockAlign, fill);
  std::uint32_t first = 0;
  for (std::uint32_t cut : cuts) {
    cut = std::min(cut, count);
    if (cut > first) {
      tavrel::StretchFrames(block.data(), frames, layout, positions, first, cut,
                            output.data() + std::size_t{first} * layout.blockAlign, path);
      first = cut;
    }
  }
  tavrel::StretchFrames(block.data(), frames, layout, positions, first, count,
                        output.data() + std::size_t{first} * layout.blockAlign, path);
  return output;
}

Bytes Shrink(const Bytes& block, std::uint32_t blockAlign, std::int32_t speed, VectorPath path,
             std::uint32_t cut, std::uint8_t fill) {
  const auto frames = static_cast<std::uint32_t>(block.size() / blockAlign);
  const std::uint32_t count = tavrel::ResampledFrameCount(frames, speed);
  tavrel::FramePicks picks;
  EXPECT_TRUE(picks.Compute(speed));
  Bytes output(std::size_t{count} * blockAlign, fill);
  cut = std::min(cut, count);
  tavrel::ShrinkFrames(block.data(), frames, blockAlign, picks, 0, cut, output.data(), path);
  tavrel::ShrinkFrames(block.data(), frames, blockAlign, picks, cut, count,
                       output.data() + std::size_t{cut} * blockAlign, path);
  return output;
}

std::string PathName(const ::testing::TestParamInfo<VectorPath>& path) {
  return path.param == VectorPath::kAvx512 ? "Avx512" : "Avx2";
}

class WidePath : public ::testing::TestWithParam<VectorPath> {
 protected:
  void SetUp() override {
    if (!tavrel::CanUseVectorPath(GetParam())) {
      GTEST_SKIP() << "this processor lacks the instructions";
    }
  }
};

TEST_P(WidePath, StretchesEveryLayoutAtEverySlowSpeedLikeThePortableCode) {
  // The kernels' layouts, and two they leave to the portable code.
  const FrameLayout layouts[] = {{1, 1, 8},  {2, 2, 8},  {1, 2, 16}, {2, 4, 16}, {1, 3, 24},
                                 {2, 6, 24}, {1, 4, 32}, {2, 8, 32}, {2, 6, 16}, {3, 6, 16}};
  // A full block, short blocks of several lengths, and a block of one frame.
  const std::uint32_t blockFrames[] = {1024, 1000, 77, 9, 1};
  std::uint32_t seed = 1;
  for (const FrameLayout& layout : layouts) {
    for (const std::uint32_t frames : blockFrames) {
      const Bytes block = BlockBytes(std::size_t{frames} * layout.blockAlign, seed++);
      for (std::int32_t speed = 1; speed < 100; ++speed) {
        // Pieces that start at odd places, as the output buffer cuts them.
        const std::vector<std::uint32_t> cuts = {3, 3 + static_cast<std::uint32_t>(speed) * 7, 901};
        const Bytes portable = Stretch(block, layout, speed, VectorPath::kPortable, {}, 0x00);
        const Bytes wide = Stretch(block, layout, speed, GetParam(), cuts, 0xA5);
        ASSERT_EQ(wide, portable) << "bits " << layout.bitsPerSample << ", channels "
                                  << layout.channels << ", " << frames << " frames, speed " << speed;
      }
    }
  }
}

TEST_P(WidePath, ShrinksEveryLayoutLikeThePortableCode) {
  std::uint32_t seed = 100;
  for (const std::uint32_t blockAlign : {1u, 2u, 4u, 6u, 8u}) {
    for (const std::uint32_t frames : {1024u, 1000u, 40u, 1u}) {
      const Bytes block = BlockBytes(std::size_t{frames} * blockAlign, seed++);
      for (std::int32_t speed = 101; speed <= 320; ++speed) {
        const Bytes portable = Shrink(block, blockAlign, speed, VectorPath::kPortable, 0, 0x00);
        const Bytes wide = Shrink(block, blockAlign, speed, GetParam(), 5, 0xA5);
        ASSERT_EQ(wide, portable) << blockAlign << "-byte frames, " << frames << " frames, speed "
                                  << speed;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWidePath, WidePath,
                         ::testing::Values(VectorPath::kAvx2, VectorPath::kAvx512), PathName);

TEST(VectorPaths, TheFastestIsOneThisProcessorCanTake) {
  EXPECT_TRUE(tavrel::CanUseVectorPath(VectorPath::kPortable));
  EXPECT_TRUE(tavrel::CanUseVectorPath(tavrel::FastestVectorPath()));
}

}  // namespace
