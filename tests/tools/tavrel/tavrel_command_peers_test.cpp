// The tavrel command on the WAV files that common tools write, made by those
// tools at test time and judged by sox and libsndfile: the rate, the frame
// count, the samples (the library's output on a canonical file holding the
// same ones), and nothing left in the destination's folder.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "commands.h"
#include "riff_images.h"
#include "tavrel.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;
using namespace riff_images;

struct Samples {
  WavFormat format;
  Bytes data;
};

// Makes a source in process; returns its samples when libsndfile cannot
// read them back.
using Maker = std::optional<Samples> (*)(const fs::path&);

struct Source {
  const char* name;
  const char* peer;     // the command that writes it, or nullptr
  const char* command;  // with %s for the path
  Maker make;           // when no peer writes it
  const char* note;     // how the command says it read 'data'; nullptr when untouched
};

// gtest names a case by this.
void PrintTo(const Source& source, std::ostream* out) { *out << source.name; }

// Writes `frames` frames of a ramp with libsndfile in `format`, a string
// set before the samples (it goes before the data chunk) or after them (it
// goes after).
void WriteWithLibsndfile(const fs::path& path, int format, int rate, int channels, int frames,
                         int stringType, bool stringFirst) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  if (stringFirst) {
    sf_set_string(file, stringType, "slow it down");
  }
  std::vector<int> samples(static_cast<std::size_t>(frames * channels));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int>(i * 1000003u);
  }
  sf_writef_int(file, samples.data(), frames);
  if (!stringFirst) {
    sf_set_string(file, stringType, "slow it down");
  }
  sf_close(file);
}

std::optional<Samples> LibsndfileExtensibleWithTitle(const fs::path& path) {
  WriteWithLibsndfile(path, SF_FORMAT_WAVEX | SF_FORMAT_PCM_32, 32000, 2, 3000, SF_STR_TITLE, true);
  return std::nullopt;
}

// 8-bit mono with an odd frame count: a pad byte after the data, then the
// comment's LIST chunk.
std::optional<Samples> LibsndfileCommentAfterOddData(const fs::path& path) {
  WriteWithLibsndfile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, 3001, SF_STR_COMMENT,
                      false);
  return std::nullopt;
}

std::optional<Samples> OddSizedChunkWithPadByte(const fs::path& path) {
  const Bytes data = Ramp16(12000);
  WriteWholeFile(path, RiffFile({Chunk("fmt ", FormatBody(1, 2, 22050, 16)),
                                 Chunk("note", Bytes(5, 'n')), Chunk("data", data)}));
  return Samples{{2, 22050, 16, 0}, data};
}

// libsndfile reads a data size of 0 as no frames: the samples are given.
std::optional<Samples> DataSizeZero(const fs::path& path) {
  const Bytes data = Ramp16(9000);
  WriteWholeFile(path, RiffFile({Chunk("fmt ", FormatBody(1, 1, 16000, 16)),
                                 Chunk("LIST", Bytes(26, 'i')), Chunk("data", data, 0)}));
  return Samples{{1, 16000, 16, 0}, data};
}

const Source kSources[] = {
    {"FfmpegDefault", "ffmpeg",
     "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=2 -ac 2 %s", nullptr,
     "past a LIST chunk"},
    {"FfmpegToAPipe", "ffmpeg",
     "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=2 -ac 2 -f wav - | cat > %s",
     nullptr, "of unknown size (to the end of the file), past a LIST chunk"},
    {"FfmpegRf64", "ffmpeg",
     "ffmpeg -nostdin -v error -f lavfi -i sine=duration=1 -ar 8000 -c:a pcm_u8 -rf64 always %s",
     nullptr, "in an RF64 file, past a LIST chunk"},
    {"SoxExtensible24Bit6Channels", "sox", "sox -n -r 48000 -b 24 -c 6 %s synth 1 sine 300",
     nullptr, "after a WAVE_FORMAT_EXTENSIBLE 'fmt ' chunk, past a fact chunk"},
    {"SoxCanonical", "sox", "sox -n -r 8000 -b 16 -c 1 %s synth 1 sine 300", nullptr, nullptr},
    {"LibsndfileExtensibleWithTitle", nullptr, nullptr, LibsndfileExtensibleWithTitle,
     "after a WAVE_FORMAT_EXTENSIBLE 'fmt ' chunk, past fact and LIST chunks"},
    {"LibsndfileCommentAfterOddData", nullptr, nullptr, LibsndfileCommentAfterOddData,
     "with a LIST chunk after it"},
    {"OddSizedChunkWithPadByte", nullptr, nullptr, OddSizedChunkWithPadByte, "past a note chunk"},
    {"DataSizeZero", nullptr, nullptr, DataSizeZero,
     "of unknown size (to the end of the file), past a LIST chunk"},
};

std::string Formatted(const char* pattern, const std::string& value) {
  std::vector<char> text(std::string(pattern).size() + value.size() + 1);
  std::snprintf(text.data(), text.size(), pattern, value.c_str());
  return text.data();
}

// The format and data chunk of `path` as libsndfile reads them.
Samples ReadWithLibsndfile(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
  if (file == nullptr) {
    return {};
  }
  const int subformat = info.format & SF_FORMAT_SUBMASK;
  const std::uint16_t bits = subformat == SF_FORMAT_PCM_U8   ? 8
                             : subformat == SF_FORMAT_PCM_16 ? 16
                             : subformat == SF_FORMAT_PCM_24 ? 24
                                                             : 32;
  Samples samples{{static_cast<std::uint16_t>(info.channels),
                   static_cast<std::uint32_t>(info.samplerate), bits, 0},
                  {}};
  Bytes block(static_cast<std::size_t>(info.channels) * bits / 8u * 1024u);
  for (sf_count_t got;
       (got = sf_read_raw(file, block.data(), static_cast<sf_count_t>(block.size()))) > 0;) {
    samples.data.insert(samples.data.end(), block.begin(), block.begin() + got);
  }
  sf_close(file);
  return samples;
}

// The source, the speed, and whether the command reads and writes pipes
// (standard input and output) instead of files.
class PeerFiles : public ::testing::TestWithParam<std::tuple<Source, std::int32_t, bool>> {
 protected:
  void SetUp() override {
    const Source& source = std::get<0>(GetParam());
    if (source.peer != nullptr && !HaveCommand(source.peer)) {
      GTEST_SKIP() << source.peer << " is not installed";
    }
    if (!HaveCommand("soxi")) {
      GTEST_SKIP() << "sox is not installed";
    }
    std::optional<Samples> given;
    if (source.make != nullptr) {
      given = source.make(in_);
    } else {
      ASSERT_EQ(RunCommand(Formatted(source.command, Quoted(in_))).exitCode, 0);
    }
    samples_ = given ? *given : ReadWithLibsndfile(in_);
    ASSERT_FALSE(samples_.data.empty());
  }

  // What the library writes from a canonical file of the same samples.
  Bytes LibraryOutputOnCanonicalCopy(std::int32_t speed) {
    const ScratchFolder elsewhere;
    const fs::path canonical = elsewhere / "canonical.wav";
    const fs::path output = elsewhere / "output.wav";
    WriteWholeFile(canonical, MakeWav(samples_.format, samples_.data));
    EXPECT_EQ(ApplySpeedEffectToWav(Utf16Path(canonical).c_str(), Utf16Path(output).c_str(), speed),
              TAVREL_SUCCESS);
    return ReadWholeFile(output);
  }

  ScratchFolder folder_;
  fs::path in_ = folder_ / "in.wav";
  fs::path out_ = folder_ / "out.wav";
  Samples samples_;
};

TEST_P(PeerFiles, GiveTheSamplesOfACanonicalFileAtTheScaledRate) {
  const auto& [source, speed, piped] = GetParam();
  const std::string tavrel = std::string(TAVREL_COMMAND) + " ";
  const std::string command =
      piped ? "cat " + Quoted(in_) + " | " + tavrel + "- - " + std::to_string(speed) + " >" +
                  Quoted(out_)
            : tavrel + Quoted(in_) + " " + Quoted(out_) + " " + std::to_string(speed);
  const CommandResult outcome = RunCommand("(" + command + ") 2>&1");
  ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
  if (source.note == nullptr) {
    EXPECT_EQ(outcome.output.find("read 'data'"), std::string::npos) << outcome.output;
  } else {
    EXPECT_NE(outcome.output.find((piped ? "-" : in_.string()) + ": read 'data' " + source.note +
                                  "\n"),
              std::string::npos)
        << outcome.output;
  }
  const std::uint32_t blockAlign = samples_.format.channels * samples_.format.bitsPerSample / 8u;
  // Appended piece by piece: g++ 12 warns falsely on " " + string.
  std::string frames = " ";
  frames += std::to_string(samples_.data.size() / blockAlign);
  frames += " frames, ";
  EXPECT_NE(outcome.output.find(frames), std::string::npos) << outcome.output;

  const Bytes expected = LibraryOutputOnCanonicalCopy(speed);
  EXPECT_EQ(ReadWholeFile(out_), expected);
  EXPECT_EQ(FileNamesIn(folder_.path()), (std::set<fs::path>{"in.wav", "out.wav"}));

  const std::uint32_t rate = samples_.format.sampleRate * static_cast<std::uint32_t>(speed) / 100u;
  const std::uint64_t outputFrames = (expected.size() - 44) / blockAlign;
  SF_INFO info{};
  SNDFILE* file = sf_open(out_.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  sf_close(file);
  EXPECT_EQ(info.samplerate, static_cast<int>(rate));
  EXPECT_EQ(info.channels, samples_.format.channels);
  EXPECT_EQ(static_cast<std::uint64_t>(info.frames), outputFrames);
  EXPECT_EQ(std::stoul(RunCommand("soxi -r " + Quoted(out_)).output), rate);
  EXPECT_EQ(std::stoull(RunCommand("soxi -s " + Quoted(out_)).output), outputFrames);
}

INSTANTIATE_TEST_SUITE_P(, PeerFiles,
                         ::testing::Combine(::testing::ValuesIn(kSources),
                                            ::testing::Values(50, 150), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<PeerFiles::ParamType>& param) {
                           return std::string(std::get<0>(param.param).name) + "At" +
                                  std::to_string(std::get<1>(param.param)) +
                                  (std::get<2>(param.param) ? "Piped" : "");
                         });

TEST(PeerFloatFile, IsRefusedAndLeavesNothingBehind) {
  SKIP_WITHOUT_COMMAND("sox");
  const ScratchFolder folder;
  const fs::path in = folder / "in.wav";
  ASSERT_EQ(RunCommand("sox -n -r 8000 -e floating-point -b 32 " + Quoted(in) + " synth 1 sine 300")
                .exitCode,
            0);
  const CommandResult outcome = RunCommand(std::string(TAVREL_COMMAND) + " " + Quoted(in) + " " +
                                           Quoted(folder / "out.wav") + " 50 2>&1");
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.output.find("holds 32-bit float samples"), std::string::npos) << outcome.output;
  EXPECT_NE(outcome.output.find("-c:a pcm_s24le"), std::string::npos) << outcome.output;
  EXPECT_EQ(FileNamesIn(folder.path()), (std::set<fs::path>{"in.wav"}));
}

}  // namespace
