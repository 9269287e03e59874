// What ApplyTempoEffectToWav writes and the status of every input it
// refuses: the speed effect's file rules, the tempo change's frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "pcm_samples.h"
#include "tavrel.h"
#include "tempo_runs.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;
using tavrel::tempo::TempoFormat;
using tempo_test::Samples;

Bytes Encode(const Samples& samples, std::uint32_t bits) {
  Bytes bytes(samples.size() * (bits / 8));
  tavrel::tempo::EncodePcmSamples(samples.data(), samples.size(), bits, bytes.data());
  return bytes;
}

Samples Decode(const Bytes& wav, std::uint32_t bits) {
  Samples samples((wav.size() - 44) / (bits / 8));
  tavrel::tempo::DecodePcmSamples(wav.data() + 44, samples.size(), bits, samples.data());
  return samples;
}

class TempoEffect : public ::testing::Test {
 protected:
  std::int32_t Apply(std::int32_t speed) {
    return ApplyTempoEffectToWav(HostPath(source_).c_str(), HostPath(destination_).c_str(),
                                 speed);
  }

  // Writes `wav` as the source, applies `speed` and returns the destination.
  Bytes Convert(const Bytes& wav, std::int32_t speed) {
    WriteWholeFile(source_, wav);
    EXPECT_EQ(Apply(speed), TAVREL_SUCCESS) << speed;
    return ReadWholeFile(destination_);
  }

  // The status of `wav` at `speed`, with what it left in a destination that
  // held a byte before.
  std::int32_t StatusOf(const Bytes& wav, std::int32_t speed, Bytes& left) {
    WriteWholeFile(source_, wav);
    WriteWholeFile(destination_, Bytes{9});
    const std::int32_t status = Apply(speed);
    left = ReadWholeFile(destination_);
    return status;
  }

  ScratchFolder folder_;
  fs::path source_ = folder_ / "source.wav";
  fs::path destination_ = folder_ / "destination.wav";
};

struct FileCase {
  TempoFormat format;
  std::int32_t speed;
};

void PrintTo(const FileCase& c, std::ostream* out) {
  *out << c.format.channels << " ch, " << c.format.sampleRate << " Hz, "
       << c.format.bitsPerSample << " bit at " << c.speed;
}

class TempoEffectFile : public TempoEffect, public ::testing::WithParamInterface<FileCase> {};

// The file holds the header with the rates kept, exactly floor(N × 100 /
// speed) frames, and the very samples of the tempo change run in memory:
// the file path adds nothing and drops nothing (the tests in tempo/ check
// those samples' pitch, level and steps; speed_effect_io_fault_test.cpp
// each I/O failure).
TEST_P(TempoEffectFile, HoldsTheSourcesRatesAndTheTempoChangesFrames) {
  const FileCase& c = GetParam();
  const std::size_t frames = c.format.sampleRate * 3 / 2 + 7;
  const Samples input = tempo_test::Varied(c.format, frames, 7);
  const Bytes source = MakeWav({static_cast<std::uint16_t>(c.format.channels),
                                c.format.sampleRate,
                                static_cast<std::uint16_t>(c.format.bitsPerSample), 0},
                               Encode(input, c.format.bitsPerSample));
  const Bytes out = Convert(source, c.speed);
  const std::uint64_t expected = frames * 100 / static_cast<std::uint64_t>(c.speed);
  const std::size_t frameBytes = c.format.channels * (c.format.bitsPerSample / 8);
  ASSERT_EQ(out.size(), 44 + expected * frameBytes);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), Bytes(source.begin(), source.begin() + 4));
  EXPECT_EQ(Bytes(out.begin() + 8, out.begin() + 40), Bytes(source.begin() + 8, source.begin() + 40));
  EXPECT_EQ(Le32At(out, 40), out.size() - 44);
  EXPECT_EQ(Le32At(out, 4), out.size() - 8);
  const tempo_test::Stretched inMemory = tempo_test::Stretch(c.format, c.speed, input, {333});
  EXPECT_EQ(Decode(out, c.format.bitsPerSample), inMemory.samples);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TempoEffectFile,
    ::testing::Values(FileCase{{1, 16000, 16}, 50}, FileCase{{1, 16000, 16}, 150},
                      FileCase{{2, 44100, 16}, 75}, FileCase{{2, 44100, 16}, 200},
                      FileCase{{1, 8000, 8}, 50}, FileCase{{3, 22050, 24}, 125},
                      FileCase{{2, 48000, 32}, 80}, FileCase{{1, 11025, 16}, 1},
                      FileCase{{1, 11025, 16}, 400}, FileCase{{2, 8000, 16}, 1000000}));

TEST_F(TempoEffect, UnchangedTempoIsTheSpeedEffectsCopy) {
  // Frames wider than their samples and bits no other speed computes:
  // at 100 whole frames are copied, as the speed effect does.
  const Bytes source = MakeWav({1, 8000, 12, 4}, NoiseBytes(4 * 999 + 3, 5));
  const Bytes tempo = Convert(source, 100);
  EXPECT_EQ(ApplySpeedEffectToWav(HostPath(source_).c_str(),
                                  HostPath(folder_ / "speed.wav").c_str(), 100),
            TAVREL_SUCCESS);
  EXPECT_EQ(tempo, ReadWholeFile(folder_ / "speed.wav"));
  EXPECT_EQ(tempo.size(), 44u + 4 * 999);
}

TEST_F(TempoEffect, FramesWiderThanTheirSamplesKeepTheirWidthWithZerosAfterTheSamples) {
  const TempoFormat format{2, 8000, 16};
  const Samples input = tempo_test::Varied(format, 4000, 3);
  const Bytes packed = Encode(input, 16);
  Bytes padded;
  for (std::size_t frame = 0; frame < 4000; ++frame) {
    padded.insert(padded.end(), &packed[frame * 4], &packed[frame * 4] + 4);
    padded.insert(padded.end(), {0x55, 0xAA});
  }
  const Bytes narrow = Convert(MakeWav({2, 8000, 16, 0}, packed), 60);
  const Bytes wide = Convert(MakeWav({2, 8000, 16, 6}, padded), 60);
  ASSERT_EQ(wide.size() - 44, (narrow.size() - 44) / 4 * 6);
  for (std::size_t frame = 0; 44 + frame * 4 < narrow.size(); ++frame) {
    const auto at = [](const Bytes& wav, std::size_t offset) { return wav.data() + 44 + offset; };
    ASSERT_EQ(Bytes(at(wide, frame * 6), at(wide, frame * 6 + 4)),
              Bytes(at(narrow, frame * 4), at(narrow, frame * 4 + 4))) << frame;
    ASSERT_EQ(Le16At(wide, 44 + frame * 6 + 4), 0u) << frame;
  }
}

TEST_F(TempoEffect, HeadersTheTempoChangeCannotComputeLeaveAnEmptyDestination) {
  const Bytes frames = NoiseBytes(800, 2);
  Bytes noRate = MakeWav({1, 8000, 16, 0}, frames);
  noRate[24] = noRate[25] = 0;
  Bytes noChannels = MakeWav({1, 8000, 16, 2}, frames);
  noChannels[22] = 0;
  const std::vector<Bytes> refused = {MakeWav({1, 8000, 12, 2}, frames),  // 12-bit samples
                                      MakeWav({2, 8000, 16, 2}, frames),  // narrower frames
                                      noRate, noChannels};
  Bytes left;
  for (std::size_t i = 0; i < refused.size(); ++i) {
    for (const std::int32_t speed : {1, 50, 150}) {
      EXPECT_EQ(StatusOf(refused[i], speed, left), TAVREL_ERROR_UNSUPPORTED) << i << " at " << speed;
      EXPECT_TRUE(left.empty()) << i;
    }
  }
  // Frames of no bytes hold nothing to compute: a header alone.
  Bytes noBytes = MakeWav({1, 8000, 16, 0}, frames);
  noBytes[32] = noBytes[33] = 0;
  EXPECT_EQ(StatusOf(noBytes, 150, left), TAVREL_SUCCESS);
  ASSERT_EQ(left.size(), 44u);
  EXPECT_EQ(Le32At(left, 40), 0u);
}

TEST_F(TempoEffect, SpeedPathAndHeaderStatusesAreTheSpeedEffects) {
  WriteWholeFile(source_, MakeWav({1, 8000, 16, 0}, Ramp16(100)));
  for (const std::int32_t speed : {0, -1, INT32_MIN}) {
    EXPECT_EQ(Apply(speed), TAVREL_ERROR_SPEED);
    EXPECT_FALSE(fs::exists(destination_));
  }
  EXPECT_EQ(ApplyTempoEffectToWav(nullptr, HostPath(destination_).c_str(), 50),
            TAVREL_ERROR_SOURCE);
  EXPECT_FALSE(fs::exists(destination_));
  EXPECT_EQ(ApplyTempoEffectToWav(HostPath(source_).c_str(), HostPath(source_).c_str(), 50),
            TAVREL_ERROR_DESTINATION);
  EXPECT_EQ(ReadWholeFile(source_).size(), 244u);
  EXPECT_EQ(ApplyTempoEffectToWav(HostPath(source_).c_str(),
                                  HostPath(folder_ / "missing" / "out.wav").c_str(), 50),
            TAVREL_ERROR_DESTINATION);
  Bytes left;
  EXPECT_EQ(StatusOf(Bytes(43, 1), 50, left), TAVREL_ERROR_SHORT_HEADER);
  EXPECT_TRUE(left.empty());
}

TEST_F(TempoEffect, WorkBuffersBeyondTheLimitLeaveTheHeaderWithTheSourcesSizes) {
  // At 384 kHz the window holds 119,042 frames: 140 channels fit in 2^24
  // samples, 141 do not, and 65535 would need gigabytes.
  for (const std::uint16_t channels : std::initializer_list<std::uint16_t>{141, 65535}) {
    Bytes left;
    const Bytes source = MakeWav({channels, 384000, 8, channels}, Bytes(channels, 128), 777);
    EXPECT_EQ(StatusOf(source, 50, left), TAVREL_ERROR_NO_MEMORY) << channels;
    EXPECT_EQ(left, Bytes(source.begin(), source.begin() + 44)) << channels;
  }
  Bytes written;
  EXPECT_EQ(StatusOf(MakeWav({140, 384000, 8, 140}, Bytes(140, 128)), 50, written),
            TAVREL_SUCCESS);
  EXPECT_EQ(written.size(), 44u + 2u * 140u);
}

}  // namespace
