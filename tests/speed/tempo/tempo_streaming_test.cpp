// How the input arrives changes nothing, memory is set once whatever the
// speed, and calls out of order or a refusing sink are answered, not
// obeyed.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "allocation_count.h"
#include "address_space.h"
#include "tempo_runs.h"

namespace {

using tavrel::tempo::TempoFormat;
using tavrel::tempo::TempoOutputFrames;
using tavrel::tempo::TempoStretcher;
using tempo_test::Samples;

class Blocks : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(Blocks, TheOutputIsTheSameWhateverTheBlockSizes) {
  const std::int32_t speed = GetParam();
  const TempoFormat format{2, 16000, 16};
  const Samples input = tempo_test::Varied(format, 3 * 16000 + 17, 5);
  const Samples whole = tempo_test::Stretch(format, speed, input).samples;
  ASSERT_EQ(whole.size() / 2, TempoOutputFrames(input.size() / 2, speed));
  const std::vector<std::vector<std::size_t>> splits = {
      {1}, {7}, {160}, {4096}, {1, 2000, 3, 999, 65536}, {480, 481}};
  for (const auto& split : splits) {
    EXPECT_EQ(tempo_test::Stretch(format, speed, input, split).samples, whole)
        << "blocks of " << split.front() << "… frames";
  }
}

INSTANTIATE_TEST_SUITE_P(, Blocks, ::testing::Values(10, 25, 50, 99, 100, 101, 150, 400, 5000));

// Speed 1 makes a hundred times the input, speed INT32_MAX one frame of 25
// million: both with the memory Configure set aside, the same as at any
// other speed, and no allocation after it.
TEST(Memory, IsSetOnceAndTheSameAtEverySpeed) {
  const TempoFormat format{2, 44100, 16};
  const Samples block = tempo_test::Varied(format, 1 << 16, 3);
  std::size_t reserved = 0;
  for (const auto& [speed, frames] : {std::pair{1, 100000u}, std::pair{50, 1000000u},
                                     std::pair{INT32_MAX, 25000000u}}) {
    TempoStretcher stretcher;
    ASSERT_EQ(stretcher.Configure(format, speed), TempoStretcher::Setup::kReady);
    if (reserved == 0) {
      reserved = stretcher.reservedBytes();
    }
    EXPECT_EQ(stretcher.reservedBytes(), reserved) << "at " << speed;
    tempo_test::CountedFrames sink;
    const std::size_t before = tempo_test::AllocationsSoFar();
    for (std::uint32_t at = 0; at < frames; at += 1 << 16) {
      ASSERT_TRUE(stretcher.Push(block.data(), std::min(1u << 16, frames - at), sink));
    }
    ASSERT_TRUE(stretcher.Finish(sink));
    EXPECT_EQ(tempo_test::AllocationsSoFar(), before) << "at " << speed;
    EXPECT_EQ(sink.count, TempoOutputFrames(frames, speed));
  }
  // A few hundred kilobytes for 40 ms pieces of CD-quality stereo.
  EXPECT_LT(reserved, 1u << 20);
}

TEST(Configure, RefusesWhatItCannotWorkWith) {
  TempoStretcher stretcher;
  using Setup = TempoStretcher::Setup;
  EXPECT_EQ(stretcher.Configure({0, 8000, 16}, 100), Setup::kUnusableFormat);
  EXPECT_EQ(stretcher.Configure({1, 0, 16}, 100), Setup::kUnusableFormat);
  EXPECT_EQ(stretcher.Configure({1, 8000, 12}, 100), Setup::kUnusableFormat);
  EXPECT_EQ(stretcher.Configure({1, 8000, 16}, 0), Setup::kSpeedBelowOne);
  EXPECT_EQ(stretcher.Configure({1, 8000, 16}, INT32_MIN), Setup::kSpeedBelowOne);
  tempo_test::CountedFrames sink;
  const std::int32_t frame = 0;
  EXPECT_FALSE(stretcher.Push(&frame, 1, sink));
  EXPECT_FALSE(stretcher.Finish(sink));
  // The smallest and largest rates still make a plan that works.
  for (const std::uint32_t rate : {1u, 4294967295u}) {
    ASSERT_EQ(stretcher.Configure({1, rate, 16}, 50), Setup::kReady) << rate;
    EXPECT_TRUE(stretcher.Push(&frame, 1, sink));
    EXPECT_TRUE(stretcher.Finish(sink));
  }
  EXPECT_EQ(sink.count, 4u);
}

TEST(Configure, ReportsMemoryItCannotHave) {
  if (!test_support::kAddressSpaceCanBeLimited) {
    GTEST_SKIP() << "sanitizers stop the process at such an allocation";
  }
  TempoStretcher stretcher;
  EXPECT_EQ(stretcher.Configure({4294967295u, 384000, 32}, 50),
            TempoStretcher::Setup::kNoMemory);
  EXPECT_EQ(stretcher.reservedBytes(), 0u);
}

// Refuses after its second frame.
class RefusingSink final : public tavrel::tempo::FrameSink {
 public:
  bool Take(const std::int32_t*, std::size_t frames) override {
    taken += frames;
    return taken <= 1;
  }
  std::uint64_t taken = 0;
};

TEST(Calls, StopWhenTheSinkRefusesAndAfterFinish) {
  const TempoFormat format{1, 8000, 16};
  const Samples input = tempo_test::Varied(format, 8000, 9);
  for (const std::int32_t speed : {50, 100}) {
    TempoStretcher stretcher;
    ASSERT_EQ(stretcher.Configure(format, speed), TempoStretcher::Setup::kReady);
    RefusingSink refusing;
    bool refused = false;
    for (std::size_t at = 0; at < input.size() && !refused; at += 1) {
      refused = !stretcher.Push(input.data() + at, 1, refusing);
    }
    EXPECT_TRUE(refused) << speed;
    const std::uint64_t taken = refusing.taken;
    EXPECT_FALSE(stretcher.Push(input.data(), 1, refusing));
    EXPECT_FALSE(stretcher.Finish(refusing));
    EXPECT_EQ(refusing.taken, taken);

    ASSERT_EQ(stretcher.Configure(format, speed), TempoStretcher::Setup::kReady);
    tempo_test::CountedFrames sink;
    EXPECT_TRUE(stretcher.Finish(sink));
    EXPECT_FALSE(stretcher.Push(input.data(), 1, sink));
    EXPECT_FALSE(stretcher.Finish(sink));
    EXPECT_EQ(sink.count, 0u);
  }
}

}  // namespace
