// The recording file on its own: the zero-size header, appends, and the
// size patch at stop, checked byte by byte and by sox.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "recorder_test_support.h"
#include "recording_file.h"

namespace {

using namespace recorder_test;
using namespace test_support;

struct HeaderCase {
  std::int32_t rate;
  std::int32_t bits;
  std::uint32_t byteRate;
  std::uint16_t blockAlign;
};

class RecordingFileHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(RecordingFileHeader, StartsWithZeroSizesAndTruncatedRates) {
  const HeaderCase c = GetParam();
  ScratchFolder dir;
  common::FileStream stream = orlesk::CreateRecordingFile(Utf16Path(dir / "h.wav").c_str());
  ASSERT_TRUE(stream);
  ASSERT_TRUE(orlesk::WriteWavHeader(stream.get(), c.rate, c.bits, 1));
  ASSERT_TRUE(stream.Close());

  const std::vector<std::uint8_t> file = ReadWholeFile(dir / "h.wav");
  ASSERT_EQ(file.size(), 44u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(Le32At(file, 4), 0u);
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32At(file, 16), 16u);
  EXPECT_EQ(Le16At(file, 20), 1u);
  EXPECT_EQ(Le16At(file, 22), 1u);
  EXPECT_EQ(Le32At(file, 24), static_cast<std::uint32_t>(c.rate));
  EXPECT_EQ(Le32At(file, 28), c.byteRate);
  EXPECT_EQ(Le16At(file, 32), c.blockAlign);
  EXPECT_EQ(Le16At(file, 34), static_cast<std::uint16_t>(c.bits));
  EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
  EXPECT_EQ(Le32At(file, 40), 0u);
}

INSTANTIATE_TEST_SUITE_P(Depths, RecordingFileHeader,
                         ::testing::Values(HeaderCase{8000, 16, 16000, 2},
                                           HeaderCase{8000, 8, 8000, 1},
                                           // 12 bits: block align 12 / 8 = 1, byte rate 8000 × 12 / 8
                                           HeaderCase{8000, 12, 12000, 1}));

TEST(RecordingFileFinalize, EmptyRecordingBecomesA44ByteWav) {
  ScratchFolder dir;
  common::FileStream stream = orlesk::CreateRecordingFile(Utf16Path(dir / "e.wav").c_str());
  ASSERT_TRUE(stream);
  ASSERT_TRUE(orlesk::WriteWavHeader(stream.get(), 8000, 16, 1));
  ASSERT_TRUE(orlesk::FinalizeWavSizes(stream.get()));
  ASSERT_TRUE(stream.Close());
  const std::vector<std::uint8_t> file = ReadWholeFile(dir / "e.wav");
  ASSERT_EQ(file.size(), 44u);
  EXPECT_EQ(Le32At(file, 4), 36u);
  EXPECT_EQ(Le32At(file, 40), 0u);
}

TEST(RecordingFileFinalize, SizesFollowTheDataAndTheStreamStaysAtItsEnd) {
  ScratchFolder dir;
  const auto path = dir / "d.wav";
  common::FileStream stream = orlesk::CreateRecordingFile(Utf16Path(path).c_str());
  ASSERT_TRUE(stream);
  ASSERT_TRUE(orlesk::WriteWavHeader(stream.get(), 8000, 16, 1));
  std::vector<std::uint8_t> audio(3000);
  for (std::size_t i = 0; i < audio.size(); ++i) {
    audio[i] = static_cast<std::uint8_t>(i * 13);
  }
  ASSERT_TRUE(orlesk::AppendToRecording(stream.get(), audio.data(), 1000));
  ASSERT_TRUE(orlesk::FinalizeWavSizes(stream.get()));
  // More bytes land after the first ones, and a second patch counts them.
  ASSERT_TRUE(orlesk::AppendToRecording(stream.get(), audio.data() + 1000, 2000));
  ASSERT_TRUE(orlesk::FinalizeWavSizes(stream.get()));
  ASSERT_TRUE(stream.Close());

  const std::vector<std::uint8_t> file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 3044u);
  EXPECT_EQ(Le32At(file, 4), 3036u);
  EXPECT_EQ(Le32At(file, 40), 3000u);
  EXPECT_EQ(AudioOf(file), audio);

  if (!HaveCommand("soxi")) {
    GTEST_SKIP() << "soxi is not installed";
  }
  EXPECT_EQ(RunCommand("soxi -s " + Quoted(path)).output, "1500\n");
  EXPECT_EQ(RunCommand("soxi -r " + Quoted(path)).output, "8000\n");
  EXPECT_EQ(RunCommand("soxi -b " + Quoted(path)).output, "16\n");
}

TEST(RecordingFileFinalize, RefusesAFileWithoutAWholeHeader) {
  ScratchFolder dir;
  common::FileStream stream = orlesk::CreateRecordingFile(Utf16Path(dir / "s.wav").c_str());
  ASSERT_TRUE(stream);
  const std::uint8_t partial[10] = {};
  ASSERT_TRUE(orlesk::AppendToRecording(stream.get(), partial, sizeof partial));
  EXPECT_FALSE(orlesk::FinalizeWavSizes(stream.get()));
  ASSERT_TRUE(stream.Close());
  EXPECT_EQ(ReadWholeFile(dir / "s.wav").size(), 10u);
}

}  // namespace
