// The tavrel command's own parts, in process: the chunk walk, the words it
// prints, the canonical copy and the temporary file that holds it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "canonical_copy.h"
#include "destination.h"
#include "layout_text.h"
#include "riff_images.h"
#include "temporary_file.h"
#include "test_files.h"
#include "wav_layout.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;
using namespace riff_images;
using tavrel_tool::WavFormat;
using tavrel_tool::WavLayout;
using tavrel_tool::WavReading;

const Bytes kSamples = Ramp16(1000);  // 16-bit mono
const Bytes kFormat = Chunk("fmt ", FormatBody(1, 1, 8000, 16));
const Bytes kInfo = Chunk("LIST", Bytes(26, 'i'));
const Bytes kOdd = Chunk("odd ", Bytes(3, 'o'));  // and its pad byte

class ChunkWalk : public ::testing::Test {
 protected:
  WavReading Read(const Bytes& file) {
    WriteWholeFile(path_, file);
    return tavrel_tool::ReadWavLayout(path_);
  }
  WavLayout ReadLayout(const Bytes& file) {
    const WavReading reading = Read(file);
    EXPECT_EQ(reading.outcome, WavReading::Outcome::kLayout) << reading.what;
    return reading.layout;
  }

  ScratchFolder folder_;
  fs::path path_ = folder_ / "in.wav";
};

TEST_F(ChunkWalk, TakesThe44ByteLayoutAsCanonicalWhateverItsDataSizeSays) {
  for (const std::int64_t declared :
       {std::int64_t{-1}, std::int64_t{0}, std::int64_t{0xFFFFFFFF}, std::int64_t{999999}}) {
    const WavLayout layout = ReadLayout(MakeWav({1, 8000, 16, 0}, kSamples, declared));
    EXPECT_TRUE(tavrel_tool::IsCanonical(layout)) << declared;
    EXPECT_EQ(layout.dataOffset, 44u);
    EXPECT_EQ(layout.Frames(), 1000u);
    // Only the exact size leaves nothing to say; no other is printed.
    EXPECT_EQ(tavrel_tool::LayoutDifferences(layout).empty(), declared == -1);
  }
}

TEST_F(ChunkWalk, FindsTheDataPastOtherChunksWithOrWithoutTheirPadBytes) {
  const WavLayout padded = ReadLayout(
      RiffFile({kFormat, kInfo, kOdd, Chunk("data", kSamples), Chunk("LIST", Bytes(5, 'x'))}));
  EXPECT_FALSE(tavrel_tool::IsCanonical(padded));
  EXPECT_EQ(padded.dataOffset, 12u + 24u + 34u + 12u + 8u);
  EXPECT_EQ(padded.dataSize, kSamples.size());
  EXPECT_EQ(padded.chunksBeforeData.ids, (std::vector<std::string>{"LIST", "odd"}));
  EXPECT_EQ(padded.chunksAfterData.ids, (std::vector<std::string>{"LIST"}));
  EXPECT_EQ(tavrel_tool::LayoutDifferences(padded),
            "past LIST and odd chunks, with a LIST chunk after it");

  const WavLayout unpadded = ReadLayout(RiffFile(
      {kFormat, Chunk("odd ", Bytes(3, 'o'), std::nullopt, false), Chunk("data", kSamples)}));
  EXPECT_EQ(unpadded.dataOffset, 12u + 24u + 11u + 8u);
  EXPECT_EQ(unpadded.dataSize, kSamples.size());
  EXPECT_EQ(unpadded.BytesAfterData(), 0u);

  // A pad byte that is a printable character: "xdat" would pass for an id,
  // but "data" follows the pad byte.
  const WavLayout printablePad = ReadLayout(RiffFile(
      {kFormat, Chunk("odd ", Bytes(3, 'o'), std::nullopt, false), Bytes{'x'},
       Chunk("data", kSamples)}));
  EXPECT_EQ(printablePad.dataOffset, 12u + 24u + 12u + 8u);
  EXPECT_EQ(printablePad.dataSize, kSamples.size());
  EXPECT_EQ(printablePad.chunksBeforeData.ids, (std::vector<std::string>{"odd"}));
}

TEST_F(ChunkWalk, TakesAPlaceholderOrOverlongDataSizeToTheEndOfTheFile) {
  for (const std::uint32_t placeholder : {0u, 0xFFFFFFFFu}) {
    const WavLayout layout =
        ReadLayout(RiffFile({kFormat, kInfo, Chunk("data", kSamples, placeholder)}));
    EXPECT_EQ(layout.dataSize, kSamples.size());
    EXPECT_TRUE(layout.dataSizeUnknown);
    EXPECT_EQ(tavrel_tool::LayoutDifferences(layout),
              "of unknown size (to the end of the file), past a LIST chunk");
  }
  const WavLayout overlong = ReadLayout(RiffFile({kFormat, Chunk("data", kSamples, 5000)}));
  EXPECT_EQ(overlong.dataSize, kSamples.size());
  EXPECT_EQ(overlong.dataMissing, 3000u);
}

TEST_F(ChunkWalk, ReadsTheDataSizeOfAnRf64FileFromItsDs64Chunk) {
  Bytes ds64(28, 0);
  ds64[8] = static_cast<std::uint8_t>(kSamples.size());
  ds64[9] = static_cast<std::uint8_t>(kSamples.size() >> 8);
  const WavLayout layout = ReadLayout(
      RiffFile({Chunk("ds64", ds64), kFormat, Chunk("data", kSamples, 0xFFFFFFFF), kInfo}, "RF64"));
  EXPECT_TRUE(layout.rf64);
  EXPECT_EQ(layout.dataSize, kSamples.size());
  EXPECT_EQ(layout.chunksAfterData.count, 1u);  // so the data did not run to the end
  EXPECT_FALSE(tavrel_tool::IsCanonical(layout));
}

TEST_F(ChunkWalk, ReadsTheSubformatOfAnExtensibleFile) {
  const WavLayout pcm = ReadLayout(
      RiffFile({Chunk("fmt ", ExtensibleFormatBody(1, 6, 48000, 24)), Chunk("data", Bytes(18))}));
  EXPECT_EQ(pcm.format.formatTag, 0xFFFE);
  EXPECT_EQ(pcm.format.sampleFormat, 1);
  EXPECT_EQ(pcm.format.blockAlign, 18);
  EXPECT_EQ(tavrel_tool::LayoutDifferences(pcm), "after a WAVE_FORMAT_EXTENSIBLE 'fmt ' chunk");

  const WavLayout floats = ReadLayout(
      RiffFile({Chunk("fmt ", ExtensibleFormatBody(3, 1, 48000, 32)), Chunk("data", Bytes(4))}));
  EXPECT_EQ(floats.format.sampleFormat, 3);

  Bytes odd = ExtensibleFormatBody(1, 1, 48000, 16);
  odd.back() ^= 0xFF;  // a GUID of no standard kind
  EXPECT_EQ(ReadLayout(RiffFile({Chunk("fmt ", odd), Chunk("data", Bytes(2))})).format.sampleFormat,
            0);
}

TEST_F(ChunkWalk, SaysWhatAFileIsWhenItIsNoUsableWav) {
  Bytes avi = RiffFile({kFormat, Chunk("data", kSamples)});
  std::copy_n("AVI ", 4, avi.begin() + 8);
  const struct {
    Bytes file;
    std::string what;
  } cases[] = {
      {{}, "an empty file"},
      {{'h', 'e', 'l', 'l', 'o'}, "not a RIFF/WAVE file"},
      {{'f', 'L', 'a', 'C', 0, 0, 0, 34}, "a FLAC file"},
      {{'R', 'I', 'F', 'X', 0, 0, 0, 36, 'W', 'A', 'V', 'E'}, "a big-endian (RIFX) WAV file"},
      {avi, "a RIFF file of type 'AVI', not WAVE"},
      {RiffFile({kFormat, Chunk("LIST", Bytes(4), 100000), Chunk("data", kSamples)}),
       "its 'LIST' chunk runs past the end of the file"},
      {RiffFile({Chunk("fmt ", Bytes(14)), Chunk("data", kSamples)}),
       "its 'fmt ' chunk has only 14 bytes"},
      {RiffFile({kFormat, kInfo}), "a WAV file without a 'data' chunk"},
      {RiffFile({Chunk("data", kSamples), kFormat}), "'data' chunk comes before its 'fmt ' chunk"},
  };
  for (const auto& c : cases) {
    const WavReading reading = Read(c.file);
    EXPECT_EQ(reading.outcome, WavReading::Outcome::kNotWav) << c.what;
    EXPECT_NE(reading.what.find(c.what), std::string::npos) << c.what << ": " << reading.what;
  }
  EXPECT_EQ(tavrel_tool::ReadWavLayout(folder_ / "missing.wav").outcome,
            WavReading::Outcome::kUnopenable);
  EXPECT_EQ(tavrel_tool::ReadWavLayout(folder_.path()).outcome, WavReading::Outcome::kUnopenable);
}

TEST(LayoutText, NamesSamplesTheSpeedEffectCannotCompute) {
  const auto format = [](std::uint16_t tag, std::uint16_t sampleFormat, std::uint16_t bits,
                         std::uint16_t channels = 1) {
    return WavFormat{16,
                     tag,
                     sampleFormat,
                     channels,
                     8000,
                     0,
                     static_cast<std::uint16_t>(channels * ((bits + 7) / 8)),
                     bits};
  };
  const struct {
    WavFormat format;
    const char* what;  // nullptr: computable
  } cases[] = {
      {format(3, 3, 32), "32-bit float samples"},
      {format(0xFFFE, 3, 64), "64-bit float samples"},
      {format(6, 6, 8), "A-law audio"},
      {format(0x11, 0x11, 4), "IMA ADPCM audio"},
      {format(0x1234, 0x1234, 16), "audio of format 0x1234"},
      {format(0xFFFE, 0, 16), "subformat of no standard kind"},
      {format(1, 1, 12), "12-bit integer samples"},
      {format(1, 1, 16, 0), "a damaged 'fmt ' chunk"},
      {format(1, 1, 8), nullptr},
      {format(1, 1, 32, 2), nullptr},
      {format(0xFFFE, 1, 24, 6), nullptr},
  };
  for (const auto& c : cases) {
    const auto what = tavrel_tool::UncomputableSamples(c.format, 50);
    ASSERT_EQ(what.has_value(), c.what != nullptr) << (c.what ? c.what : what->c_str());
    if (what) {
      EXPECT_NE(what->find(c.what), std::string::npos) << *what;
    }
  }
  // Other integer widths are only interpolated below 100; at 100 and above
  // whole frames move unchanged.
  for (const std::int32_t speed : {100, 150}) {
    EXPECT_FALSE(tavrel_tool::UncomputableSamples(format(1, 1, 12), speed).has_value()) << speed;
    EXPECT_TRUE(tavrel_tool::UncomputableSamples(format(3, 3, 32), speed).has_value()) << speed;
  }
}

TEST(LayoutText, ListsEightChunksByNameAndCountsTheRest) {
  WavLayout layout{};
  layout.format.chunkSize = 16;
  layout.chunksBeforeData = {{"c0", "c1", "c2", "c3", "c4", "c5", "c6", "c7"}, 10};
  EXPECT_EQ(tavrel_tool::LayoutDifferences(layout),
            "past c0, c1, c2, c3, c4, c5, c6, c7 and 2 more chunks");
}

TEST(LayoutText, AdvisesAConversionThatAShellRunsAsWritten) {
  EXPECT_EQ(tavrel_tool::ConversionAdvice("dir/it's.wav", 32),
            "ffmpeg -i 'dir/it'\\''s.wav' -c:a pcm_s24le 'dir/it'\\''s-pcm.wav'");
  EXPECT_EQ(tavrel_tool::ConversionAdvice("a.flac", 16),
            "ffmpeg -i 'a.flac' -c:a pcm_s16le 'a-pcm.wav'");
}

class CanonicalCopy : public ChunkWalk {
 protected:
  // Reads the layout of `file` and copies it into `out`.
  std::optional<std::string> Copy(const Bytes& file, std::FILE* out) {
    const WavLayout layout = ReadLayout(file);
    return tavrel_tool::WriteCanonicalCopy(path_, layout, out);
  }
  std::optional<std::string> CopyToFile(const Bytes& file, const fs::path& to) {
    std::FILE* out = std::fopen(to.c_str(), "wb");
    const std::optional<std::string> failure = Copy(file, out);
    std::fclose(out);
    return failure;
  }
};

TEST_F(CanonicalCopy, WritesTheFixedHeaderAndTheDataBytesUnchanged) {
  const fs::path copy = folder_ / "copy.wav";
  EXPECT_EQ(CopyToFile(RiffFile({kFormat, kInfo, kOdd, Chunk("data", kSamples, 0)}), copy),
            std::nullopt);
  EXPECT_EQ(ReadWholeFile(copy), MakeWav({1, 8000, 16, 0}, kSamples));

  Bytes frames(18 * 500);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    frames[i] = static_cast<std::uint8_t>(i * 7 + i / 18);
  }
  EXPECT_EQ(CopyToFile(RiffFile({Chunk("fmt ", ExtensibleFormatBody(1, 6, 48000, 24)),
                                 Chunk("fact", Bytes(4)), Chunk("data", frames), kInfo}),
                       copy),
            std::nullopt);
  EXPECT_EQ(ReadWholeFile(copy), MakeWav({6, 48000, 24, 0}, frames));
}

TEST_F(CanonicalCopy, ReportsEachWriteThatFails) {
  const Bytes small = RiffFile({kFormat, kInfo, Chunk("data", kSamples)});
  const Bytes large = RiffFile({kFormat, kInfo, Chunk("data", Ramp16(200000))});
  // Unbuffered, the header's write fails; buffered, a block larger than the
  // buffer fails as it is written, and a small copy fails when flushed.
  for (const auto& [file, buffered] :
       {std::pair{small, false}, std::pair{large, true}, std::pair{small, true}}) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    if (!buffered) {
      std::setvbuf(full, nullptr, _IONBF, 0);
    }
    const std::optional<std::string> failure = Copy(file, full);
    std::fclose(full);
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("writing the copy failed: No space left on device"), std::string::npos)
        << *failure;
  }
}

TEST_F(CanonicalCopy, ReportsASourceThatShrankOrWentAway) {
  const fs::path copy = folder_ / "copy.wav";
  const WavLayout layout = ReadLayout(RiffFile({kFormat, kInfo, Chunk("data", kSamples)}));
  fs::resize_file(path_, fs::file_size(path_) - 10);
  std::FILE* out = std::fopen(copy.c_str(), "wb");
  EXPECT_EQ(tavrel_tool::WriteCanonicalCopy(path_, layout, out),
            "the source ended before its 'data' chunk did");
  fs::remove(path_);
  const auto vanished = tavrel_tool::WriteCanonicalCopy(path_, layout, out);
  std::fclose(out);
  EXPECT_EQ(vanished, "reading the source failed: No such file or directory");
}

TEST(TemporaryFile, LivesHiddenInItsFolderUntilItGoesAway) {
  const ScratchFolder folder;
  {
    tavrel_tool::TemporaryFile file(folder.path());
    ASSERT_TRUE(file.created()) << file.error();
    EXPECT_EQ(file.path().parent_path(), folder.path());
    EXPECT_EQ(file.path().filename().string().rfind(".tavrel-", 0), 0u);
    EXPECT_GE(std::fputs("frames", file.stream()), 0);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(fs::file_size(file.path()), 6u);
  }
  EXPECT_TRUE(fs::is_empty(folder.path()));

  const tavrel_tool::TemporaryFile nowhere(folder / "missing");
  EXPECT_FALSE(nowhere.created());
  EXPECT_EQ(nowhere.error(), ENOENT);
  EXPECT_TRUE(fs::is_empty(folder.path()));

  // Three at once (a saved stream, a copy, the new file); one given up
  // after its rename stays.
  {
    tavrel_tool::TemporaryFile saved(folder.path());
    tavrel_tool::TemporaryFile copy(folder.path());
    tavrel_tool::TemporaryFile renamed(folder.path());
    ASSERT_TRUE(saved.created() && copy.created() && renamed.created());
    fs::rename(renamed.path(), folder / "kept.wav");
    renamed.Release();
  }
  EXPECT_EQ(FileNamesIn(folder.path()), (std::set<fs::path>{"kept.wav"}));
}

TEST(CopyToStandardOutput, ReportsAReadOrAWriteThatFails) {
  const ScratchFolder folder;
  WriteWholeFile(folder / "file.wav", Bytes(1000, 7));
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  const auto written = tavrel_tool::CopyToStandardOutput(folder / "file.wav", full);
  const auto read = tavrel_tool::CopyToStandardOutput(folder.path(), full);  // a folder
  ::close(full);
  EXPECT_EQ(written, "writing to standard output failed: No space left on device");
  EXPECT_EQ(read, "cannot read '" + folder.path().string() + "': Is a directory");
}

}  // namespace
