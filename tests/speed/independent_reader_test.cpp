// Files the speed effect writes, judged by readers that share no code with
// it: libsndfile in process, sox and ffprobe as commands.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tavrel.h"
#include "commands.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

struct Case {
  std::uint16_t channels;
  std::uint16_t bits;
  std::int32_t speed;
};

class IndependentReaders : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    const Case c = GetParam();
    const std::uint32_t blockAlign = c.channels * c.bits / 8u;
    Bytes data(blockAlign * 9000u);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<std::uint8_t>(i * 37u + i / 5u);
    }
    WriteWholeFile(in_, MakeWav({c.channels, 22050, c.bits, 0}, data));
    ASSERT_EQ(ApplySpeedEffectToWav(HostPath(in_).c_str(), HostPath(out_).c_str(), c.speed),
              TAVREL_SUCCESS);
    expectedRate_ = 22050u * static_cast<std::uint32_t>(c.speed) / 100u;
    expectedFrames_ = (fs::file_size(out_) - 44) / blockAlign;
    ASSERT_GT(expectedFrames_, 0u);
  }

  ScratchFolder folder_;
  fs::path in_ = folder_ / "in.wav";
  fs::path out_ = folder_ / "out.wav";
  std::uint32_t expectedRate_ = 0;
  std::uint64_t expectedFrames_ = 0;
};

TEST_P(IndependentReaders, LibsndfileReadsRateChannelsAndEveryFrame) {
  SF_INFO info{};
  SNDFILE* file = sf_open(out_.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  EXPECT_EQ(info.samplerate, static_cast<int>(expectedRate_));
  EXPECT_EQ(info.channels, GetParam().channels);
  EXPECT_EQ(static_cast<std::uint64_t>(info.frames), expectedFrames_);
  EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
  std::vector<double> samples(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
  EXPECT_EQ(sf_readf_double(file, samples.data(), info.frames), info.frames);
  sf_close(file);
}

TEST_P(IndependentReaders, SoxReportsTheSameRateAndLength) {
  if (!HaveCommand("soxi")) {
    GTEST_SKIP() << "sox is not installed";
  }
  const std::string quoted = Quoted(out_);
  EXPECT_EQ(std::stoul(RunCommand("soxi -r " + quoted).output), expectedRate_);
  EXPECT_EQ(std::stoull(RunCommand("soxi -s " + quoted).output), expectedFrames_);
}

TEST_P(IndependentReaders, FfprobeReportsTheSameRateAndLength) {
  if (!HaveCommand("ffprobe")) {
    GTEST_SKIP() << "ffmpeg is not installed";
  }
  const std::string probe =
      "ffprobe -v error -count_packets -select_streams a:0 -show_entries "
      "stream=sample_rate,channels,duration_ts -of default=nw=1:nk=1 " + Quoted(out_);
  const std::string output = RunCommand(probe).output;
  unsigned long rate = 0;
  unsigned long channels = 0;
  unsigned long long frames = 0;
  ASSERT_EQ(std::sscanf(output.c_str(), "%lu %lu %llu", &rate, &channels, &frames), 3) << output;
  EXPECT_EQ(rate, expectedRate_);
  EXPECT_EQ(channels, GetParam().channels);
  EXPECT_EQ(frames, expectedFrames_);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, IndependentReaders,
    ::testing::Values(Case{1, 16, 50}, Case{2, 16, 150}, Case{2, 16, 200}, Case{1, 8, 75},
                      Case{2, 24, 33}, Case{1, 32, 100}, Case{6, 16, 300}),
    [](const ::testing::TestParamInfo<Case>& param) {
      return std::to_string(param.param.channels) + "ch_" + std::to_string(param.param.bits) +
             "bit_speed" + std::to_string(param.param.speed);
    });

}  // namespace
