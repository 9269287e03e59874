// The recording file on its own: the zero-size header, appends, and the
// size patch, checked byte by byte and by sox.
#include <gtest/gtest.h>
#include <cstdlib>
#include <vector>

#include "address_space.h"
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
  orlesk::RecordingFile file;
  ASSERT_TRUE(file.Open(Utf16Path(dir / "h.wav")));
  ASSERT_TRUE(file.WriteWavHeader(c.rate, c.bits, 1));
  ASSERT_TRUE(file.Close());

  const std::vector<std::uint8_t> bytes = ReadWholeFile(dir / "h.wav");
  ASSERT_EQ(bytes.size(), 44u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(Le32At(bytes, 4), 0u);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32At(bytes, 16), 16u);
  EXPECT_EQ(Le16At(bytes, 20), 1u);
  EXPECT_EQ(Le16At(bytes, 22), 1u);
  EXPECT_EQ(Le32At(bytes, 24), static_cast<std::uint32_t>(c.rate));
  EXPECT_EQ(Le32At(bytes, 28), c.byteRate);
  EXPECT_EQ(Le16At(bytes, 32), c.blockAlign);
  EXPECT_EQ(Le16At(bytes, 34), static_cast<std::uint16_t>(c.bits));
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(Le32At(bytes, 40), 0u);
}

INSTANTIATE_TEST_SUITE_P(Depths, RecordingFileHeader,
                         ::testing::Values(HeaderCase{8000, 16, 16000, 2},
                                           HeaderCase{8000, 8, 8000, 1},
                                           // 12 bits: block align 12 / 8 = 1, byte rate 8000 × 12 / 8
                                           HeaderCase{8000, 12, 12000, 1}));

TEST(RecordingFileSizes, EmptyRecordingBecomesA44ByteWav) {
  ScratchFolder dir;
  orlesk::RecordingFile file;
  ASSERT_TRUE(file.Open(Utf16Path(dir / "e.wav")));
  ASSERT_TRUE(file.WriteWavHeader(8000, 16, 1));
  ASSERT_TRUE(file.WriteWavSizes());
  ASSERT_TRUE(file.Close());
  const std::vector<std::uint8_t> bytes = ReadWholeFile(dir / "e.wav");
  ASSERT_EQ(bytes.size(), 44u);
  EXPECT_EQ(Le32At(bytes, 4), 36u);
  EXPECT_EQ(Le32At(bytes, 40), 0u);
}

TEST(RecordingFileSizes, FollowTheWholeFramesAppendedAndSoxAgrees) {
  ScratchFolder dir;
  const auto path = dir / "d.wav";
  orlesk::RecordingFile file;
  ASSERT_TRUE(file.Open(Utf16Path(path)));
  ASSERT_TRUE(file.WriteWavHeader(8000, 16, 1));
  const std::vector<std::uint8_t> audio = NoiseBytes(3001, 3);
  ASSERT_TRUE(file.Append(audio.data(), 1000));
  ASSERT_TRUE(file.WriteWavSizes());
  EXPECT_EQ(Le32At(ReadWholeFile(path), 40), 1000u);
  // Half a frame at the end is written but not declared.
  ASSERT_TRUE(file.Append(audio.data() + 1000, 2001));
  ASSERT_TRUE(file.WriteWavSizes());
  ASSERT_TRUE(file.Close());

  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  ASSERT_EQ(bytes.size(), 3045u);
  EXPECT_EQ(Le32At(bytes, 4), 3036u);
  EXPECT_EQ(Le32At(bytes, 40), 3000u);
  EXPECT_EQ(AudioOf(bytes), audio);

#if defined(_WIN32)
  GTEST_SKIP() << "sox judges the file on Linux";
#else
  SKIP_WITHOUT_COMMAND("soxi");
  EXPECT_EQ(RunCommand("soxi -s " + Quoted(path) + " 2>/dev/null").output, "1500\n");
  EXPECT_EQ(RunCommand("soxi -r " + Quoted(path) + " 2>/dev/null").output, "8000\n");
#endif
}

#if !defined(_WIN32)
// A full disk, made with a file-size limit: writes past it fail with EFBIG
// after writing what fits.
TEST(RecordingFileWrites, AFailedAppendKeepsWhatFitAndTheSizesSayIt) {
  ScratchFolder dir;
  const auto path = dir / "full.wav";
  EXPECT_EXIT(
      {
        LimitFileSize(44 + 1000);
        orlesk::RecordingFile file;
        const std::vector<std::uint8_t> audio(1600, 0x55);
        const bool failed = file.Open(Utf16Path(path)) &&
                            file.WriteWavHeader(8000, 16, 1) &&
                            !file.Append(audio.data(), audio.size()) && file.dataBytes() == 1000;
        std::_Exit(failed && file.WriteWavSizes() && file.Close() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  ASSERT_EQ(bytes.size(), 1044u);
  EXPECT_EQ(Le32At(bytes, 40), 1000u);
}

#endif

}  // namespace
