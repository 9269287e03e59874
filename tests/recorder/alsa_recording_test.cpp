// Recording through the shared library and its ALSA capture layer, with
// alsa-lib's file plugin as the default device: what the device delivered
// must reach the file exactly, in whole frames, under a correct header.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "orlesk.h"
#include "recorder_test_support.h"
#include "tavrel.h"
#include "virtual_microphone.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

struct Format {
  std::int32_t rate;
  std::int32_t bits;
  // floor(100 ms in bytes / frame) whole frames.
  std::size_t reportBytes;
};

// Checks the header against the format and the file's length, and that the
// audio is the start of `input` in whole frames. Returns the audio size.
std::size_t ExpectRecordingOf(const fs::path& path, const Format& format,
                              const std::vector<std::uint8_t>& input) {
  const auto frame = static_cast<std::uint32_t>(format.bits / 8);
  const std::size_t audioBytes = ExpectFinishedPrefix(path, input, frame);
  const std::vector<std::uint8_t> file = ReadWholeFile(path);
  if (file.size() < 44) {
    return 0;
  }
  EXPECT_EQ(Le16At(file, 22), 1);
  EXPECT_EQ(Le32At(file, 24), static_cast<std::uint32_t>(format.rate));
  EXPECT_EQ(Le32At(file, 28), static_cast<std::uint32_t>(format.rate) * frame);
  EXPECT_EQ(Le16At(file, 32), frame);
  EXPECT_EQ(Le16At(file, 34), format.bits);
  return audioBytes;
}

class AlsaRecording : public ::testing::TestWithParam<Format> {
 protected:
  ScratchFolder dir;
  const std::vector<std::uint8_t> input = NoiseBytes(4 << 20, 2024);
};

TEST_P(AlsaRecording, TheFileHoldsTheStartOfTheInputInWholeFrames) {
  const Format format = GetParam();
  const fs::path path = dir / "recording.wav";
  PipeFeeder feeder(microphone->pipe(), input, format.reportBytes);
  ASSERT_EQ(StartRecordingWav(Utf16Path(path).c_str(), format.rate, format.bits),
            ORLESK_SUCCESS);
  feeder.Start();
  ASSERT_TRUE(WaitForAudio(path, 10 * format.reportBytes));
  // The feeder goes on while stop waits for the capture thread, which may
  // be waiting for its next report.
  EXPECT_EQ(StopRecordingWav(), ORLESK_SUCCESS);
  feeder.Stop();

  const std::size_t audioBytes = ExpectRecordingOf(path, format, input);
  EXPECT_GE(audioBytes, 10 * format.reportBytes);

  if (HaveCommand("soxi")) {
    const std::size_t frames = audioBytes / static_cast<std::size_t>(format.bits / 8);
    EXPECT_EQ(RunCommand("soxi -s " + Quoted(path)).output, std::to_string(frames) + "\n");
    EXPECT_EQ(RunCommand("soxi -r " + Quoted(path)).output, std::to_string(format.rate) + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, AlsaRecording,
                         ::testing::Values(Format{8000, 16, 1600},
                                           // 161 bytes of buffer: 80 frames per report
                                           Format{805, 16, 160}, Format{11025, 8, 1102},
                                           Format{8000, 24, 2400}, Format{8000, 32, 3200}));

TEST(AlsaRecordingUse, TavrelAcceptsTheRecordedFile) {
  ScratchFolder dir;
  const std::vector<std::uint8_t> input = NoiseBytes(1 << 20, 7);
  const fs::path recorded = dir / "recorded.wav";
  const fs::path faster = dir / "faster.wav";
  PipeFeeder feeder(microphone->pipe(), input, 1600);
  ASSERT_EQ(StartRecordingWav(Utf16Path(recorded).c_str(), 8000, 16), ORLESK_SUCCESS);
  feeder.Start();
  ASSERT_TRUE(WaitForAudio(recorded, 16000));
  ASSERT_EQ(StopRecordingWav(), ORLESK_SUCCESS);
  feeder.Stop();

  ASSERT_EQ(ApplySpeedEffectToWav(Utf16Path(recorded).c_str(),
                                  Utf16Path(faster).c_str(), 150),
            TAVREL_SUCCESS);
  const std::vector<std::uint8_t> file = ReadWholeFile(faster);
  ASSERT_GE(file.size(), 44u);
  EXPECT_EQ(Le32At(file, 24), 12000u);
  EXPECT_EQ(Le32At(file, 40), file.size() - 44);
}

TEST(AlsaRecordingUse, TheDeviceRefusesFormatsItCannotRecord) {
  ScratchFolder dir;
  const fs::path path = dir / "refused.wav";
  PipeFeeder feeder(microphone->pipe(), {}, 1);
  for (const auto& [rate, bits] : {std::pair{8000, 12}, std::pair{8000, 0}, std::pair{0, 16},
                                   std::pair{-8000, 16}, std::pair{8000, -16}}) {
    EXPECT_EQ(StartRecordingWav(Utf16Path(path).c_str(), rate, bits), ORLESK_ERROR_DEVICE)
        << rate << " Hz, " << bits << " bits";
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_NOT_RECORDING);
}

}  // namespace
