// What ApplySpeedEffectToWav writes: header fields, frame counts, frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "tavrel.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

class SpeedEffectOutput : public ::testing::Test {
 protected:
  // Writes `wav` as the source, applies `speed` and returns the destination.
  Bytes Convert(const Bytes& wav, std::int32_t speed) {
    WriteWholeFile(folder_ / "in.wav", wav);
    const std::int32_t status = ApplySpeedEffectToWav(
        HostPath(folder_ / "in.wav").c_str(), HostPath(folder_ / "out.wav").c_str(), speed);
    EXPECT_EQ(status, TAVREL_SUCCESS);
    return ReadWholeFile(folder_ / "out.wav");
  }

  ScratchFolder folder_;
};

void ExpectSizeRule(const Bytes& wav) {
  EXPECT_EQ(Le32At(wav, 40), wav.size() - 44);
  EXPECT_EQ(Le32At(wav, 4), Le32At(wav, 40) + 36);
}

std::int16_t Sample16(const Bytes& wav, std::size_t frame) {
  return static_cast<std::int16_t>(Le16At(wav, 44 + 2 * frame));
}

TEST_F(SpeedEffectOutput, HeaderOnlySourceGivesHeaderOnlyDestinationWithScaledRates) {
  const Bytes out = Convert(MakeWav({2, 44100, 16, 0}, {}), 150);
  ASSERT_EQ(out.size(), 44u);
  EXPECT_EQ(Le32At(out, 24), 66150u);
  EXPECT_EQ(Le32At(out, 28), 264600u);
  EXPECT_EQ(Le32At(out, 40), 0u);
  EXPECT_EQ(Le32At(out, 4), 36u);
}

TEST_F(SpeedEffectOutput, RatesAreScaledWithTruncationAndOtherFieldsCopied) {
  Bytes source = MakeWav({1, 8001, 16, 0}, Ramp16(10));
  source[0] = 'X';  // tags are not checked, only copied
  source[20] = 3;   // nor is the audio format
  const Bytes out = Convert(source, 33);
  EXPECT_EQ(Le32At(out, 24), 2640u);  // 8001 × 33 / 100 = 2640.33
  EXPECT_EQ(Le32At(out, 28), 5280u);  // 16002 × 33 / 100 = 5280.66
  EXPECT_EQ(out[0], 'X');
  EXPECT_EQ(out[20], 3);
  EXPECT_EQ(Bytes(out.begin() + 8, out.begin() + 24), Bytes(source.begin() + 8, source.begin() + 24));
  EXPECT_EQ(Bytes(out.begin() + 32, out.begin() + 40), Bytes(source.begin() + 32, source.begin() + 40));
  ExpectSizeRule(out);
}

TEST_F(SpeedEffectOutput, UnchangedSpeedCopiesWholeFramesAndRecomputesSizes) {
  const Bytes frames = Ramp16(5000);
  Bytes source = MakeWav({1, 8000, 16, 0}, frames, 999999);  // size fields that lie
  source.push_back(0x77);                                   // half a frame at the end
  const Bytes out = Convert(source, 100);
  ASSERT_EQ(out.size(), 44u + frames.size());
  EXPECT_EQ(Bytes(out.begin() + 44, out.end()), frames);
  ExpectSizeRule(out);
}

TEST_F(SpeedEffectOutput, NineFullBlocksAndAShortOneAtDoubleAndHalfSpeed) {
  constexpr std::uint32_t kFrames = 9 * 1024 + 784;
  const Bytes source = MakeWav({1, 8000, 16, 0}, Ramp16(kFrames));

  const Bytes fast = Convert(source, 200);
  EXPECT_EQ(Le32At(fast, 24), 16000u);
  EXPECT_EQ(Le32At(fast, 28), 32000u);
  EXPECT_EQ(Le32At(fast, 40), (9u * 512 + 392) * 2);
  ExpectSizeRule(fast);
  // Each block restarts at its own first frame: block k's output begins
  // with input frame 1024 × k.
  for (std::uint32_t k = 0; k < 10; ++k) {
    EXPECT_EQ(Sample16(fast, 512 * k), Sample16(source, 1024 * k)) << k;
  }

  const Bytes slow = Convert(source, 50);
  EXPECT_EQ(Le32At(slow, 24), 4000u);
  EXPECT_EQ(Le32At(slow, 28), 8000u);
  EXPECT_EQ(Le32At(slow, 40), (9u * 2048 + 2 * 784) * 2);
  ExpectSizeRule(slow);
  for (std::uint32_t k = 0; k < 10; ++k) {
    // First output frame of a block is its first input frame; the block's
    // last input frame is repeated rather than blended with the next block.
    EXPECT_EQ(Sample16(slow, 2048 * k), Sample16(source, 1024 * k)) << k;
    if (k < 9) {
      EXPECT_EQ(Sample16(slow, 2048 * k + 2047), Sample16(source, 1024 * k + 1023)) << k;
    }
  }
}

TEST_F(SpeedEffectOutput, TrailingBytesShorterThanAFrameAreDropped) {
  const Bytes hundred(100, 0x40);
  EXPECT_EQ(Le32At(Convert(MakeWav({2, 8000, 16, 4}, hundred), 100), 40), 100u);  // 25 frames
  EXPECT_EQ(Le32At(Convert(MakeWav({1, 8000, 24, 3}, hundred), 100), 40), 99u);   // 33 frames
}

TEST_F(SpeedEffectOutput, ZeroBlockAlignGivesAHeaderWithNoFrames) {
  for (const std::int32_t speed : {1, 100, 300}) {
    const Bytes out = Convert(MakeWav({0, 8000, 16, 0}, Bytes(5000, 1)), speed);
    ASSERT_EQ(out.size(), 44u) << speed;
    ExpectSizeRule(out);
  }
}

TEST_F(SpeedEffectOutput, ExtraChunksAfterTheHeaderAreTreatedAsFrames) {
  Bytes data = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
  const Bytes out = Convert(MakeWav({1, 8000, 16, 0}, data), 100);
  EXPECT_EQ(Bytes(out.begin() + 44, out.end()), data);
}

TEST_F(SpeedEffectOutput, ExistingDestinationIsReplaced) {
  WriteWholeFile(folder_ / "out.wav", Bytes(100000, 0x55));
  const Bytes out = Convert(MakeWav({1, 8000, 16, 0}, Ramp16(10)), 200);
  EXPECT_EQ(out.size(), 44u + 10u);
}

TEST_F(SpeedEffectOutput, PathsWithAccentsCjkAndCharactersBeyondTheBmp) {
  const Bytes source = MakeWav({1, 8000, 16, 0}, Ramp16(100));
  for (const std::u16string& name : {std::u16string(u"caf\u00E9 \u00E0 la cr\u00E8me.wav"),
                                     std::u16string(u"\u97F3\u58F0\u30D5\u30A1\u30A4\u30EB.wav"),
                                     std::u16string(u"\U0001F3B5\U0001D11E.wav")}) {
    const fs::path in = folder_ / "in.wav";
    WriteWholeFile(in, source);
    const fs::path out = folder_ / name;
    ASSERT_EQ(ApplySpeedEffectToWav(HostPath(in).c_str(), HostPath(out).c_str(), 200),
              TAVREL_SUCCESS);
    // The file exists under its name (in UTF-8 on Linux, UTF-16 on Windows).
    EXPECT_EQ(fs::file_size(out), 44u + 100u);
    // And can be read back through the same name as a source.
    EXPECT_EQ(ApplySpeedEffectToWav(HostPath(out).c_str(), HostPath(folder_ / "again.wav").c_str(),
                                    100),
              TAVREL_SUCCESS);
  }
}

TEST_F(SpeedEffectOutput, CallsOnDifferentFilesRunAtTheSameTime) {
  const Bytes source = MakeWav({2, 8000, 16, 0}, Ramp16(40000));
  WriteWholeFile(folder_ / "in.wav", source);
  const Bytes expected = Convert(source, 70);
  std::vector<std::thread> threads;
  std::vector<std::int32_t> statuses(4, 0);
  for (std::size_t t = 0; t < statuses.size(); ++t) {
    threads.emplace_back([&, t] {
      const fs::path out = folder_ / ("out" + std::to_string(t) + ".wav");
      statuses[t] = ApplySpeedEffectToWav(HostPath(folder_ / "in.wav").c_str(),
                                          HostPath(out).c_str(), 70);
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (std::size_t t = 0; t < statuses.size(); ++t) {
    EXPECT_EQ(statuses[t], TAVREL_SUCCESS);
    EXPECT_EQ(ReadWholeFile(folder_ / ("out" + std::to_string(t) + ".wav")), expected);
  }
}

}  // namespace
