// Writes the seed corpus of the fuzz targets: small WAV files of every bit
// depth the speed effect interpolates and a few it does not, odd layouts,
// short files, and speeds on both sides of 100; and UTF-16 strings with
// every length of UTF-8 sequence and each kind of bad surrogate.
//
//   make_fuzz_seeds OUT_DIR   writes OUT_DIR/speed_effect and OUT_DIR/narrow_path
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "speed_effect_input.h"
#include "test_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append16(Bytes& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Append32(Bytes& bytes, std::uint32_t value) {
  Append16(bytes, value & 0xFFFFu);
  Append16(bytes, value >> 16);
}

// Byte by byte: g++ 12 misreads a four-byte range insert into an empty
// vector as an overflow.
void AppendTag(Bytes& bytes, const char* tag) {
  for (int i = 0; i < 4; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(tag[i]));
  }
}

struct WavShape {
  std::uint32_t channels;
  std::uint32_t bits;
  std::uint32_t blockAlign;
  std::uint32_t frames;
  std::uint32_t trailingBytes;  // a piece shorter than a frame at the end
};

// A 44-byte header and pseudo-random frames: the same bytes on every run.
Bytes MakeWav(const WavShape& shape) {
  constexpr std::uint32_t kRate = 8000;
  Bytes bytes;
  const std::uint32_t dataSize = shape.frames * shape.blockAlign + shape.trailingBytes;
  AppendTag(bytes, "RIFF");
  Append32(bytes, dataSize + 36);
  AppendTag(bytes, "WAVE");
  AppendTag(bytes, "fmt ");
  Append32(bytes, 16);
  Append16(bytes, 1);
  Append16(bytes, shape.channels);
  Append32(bytes, kRate);
  Append32(bytes, kRate * shape.blockAlign);
  Append16(bytes, shape.blockAlign);
  Append16(bytes, shape.bits);
  AppendTag(bytes, "data");
  Append32(bytes, dataSize);
  std::uint32_t state = 0x2545F491u ^ (shape.bits << 8) ^ shape.channels;
  for (std::uint32_t i = 0; i < dataSize; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Every 97th byte is an extreme, so clamps and sign bits are reached.
    bytes.push_back(i % 97 == 0 ? static_cast<std::uint8_t>(i % 2 ? 0xFF : 0x00)
                                : static_cast<std::uint8_t>(state >> 24));
  }
  return bytes;
}

void WriteSeed(const std::filesystem::path& directory, int index, const Bytes& bytes) {
  char name[32];
  std::snprintf(name, sizeof name, "seed-%03d", index);
  test_support::WriteWholeFile(directory / name, bytes);
}

void WriteSpeedEffectSeeds(const std::filesystem::path& directory) {
  const WavShape shapes[] = {
      {1, 8, 1, 1030, 0},  {1, 16, 2, 300, 1},  {2, 16, 4, 64, 3},   {2, 24, 6, 40, 0},
      {1, 32, 4, 40, 2},   {3, 12, 3, 50, 0},   {3, 16, 8, 20, 5},   {8, 8, 8, 20, 0},
      {1, 7, 1, 30, 0},    {2, 16, 0, 0, 9},    {4, 24, 6, 10, 0},   {1, 16, 2, 0, 0},
      // More than a block of the layouts the vector kernels take.
      {2, 16, 4, 1100, 0}, {1, 16, 2, 1100, 1}, {2, 24, 6, 1030, 0},
  };
  const std::int32_t speeds[] = {1, 33, 50, 99, 100, 101, 150, 200, 1000};
  int index = 0;
  for (const WavShape& shape : shapes) {
    const Bytes wav = MakeWav(shape);
    for (const std::int32_t speed : speeds) {
      WriteSeed(directory, index++, fuzz::EncodeSpeedEffectInput(speed, wav));
    }
  }
  // Refused speeds, a header cut short, and rates that overflow when scaled.
  const Bytes small = MakeWav({1, 16, 2, 4, 0});
  WriteSeed(directory, index++, fuzz::EncodeSpeedEffectInput(0, small));
  WriteSeed(directory, index++, fuzz::EncodeSpeedEffectInput(-5, small));
  WriteSeed(directory, index++,
            fuzz::EncodeSpeedEffectInput(150, std::span(small).first(43)));
  WriteSeed(directory, index++, fuzz::EncodeSpeedEffectInput(2147483647, small));
  // Rate fields past 2^31 (unsigned, so they scale at 1 and 100 and do not
  // fit at 101), and a rate of 7 Hz that scales to 0 Hz at 1.
  for (const auto& [rate, speed] : {std::pair{0xFFFFFFF0u, 1}, std::pair{0xFFFFFFF0u, 100},
                                    std::pair{0xFFFFFFF0u, 101}, std::pair{7u, 1}}) {
    Bytes header(small.begin(), small.begin() + 24);
    Append32(header, rate);  // sample rate
    Append32(header, rate);  // byte rate
    header.insert(header.end(), small.begin() + 32, small.end());
    WriteSeed(directory, index++, fuzz::EncodeSpeedEffectInput(speed, header));
  }
}

void WriteNarrowPathSeeds(const std::filesystem::path& directory) {
  const std::u16string strings[] = {
      u"/tmp/recording.wav",
      u"caf\u00e9/\u00fcber",                // two-byte sequences
      u"\u65e5\u672c\u8a9e.wav",             // three-byte sequences
      u"\U0001F3B5 track.wav",               // a surrogate pair, four bytes
      std::u16string{u'a', char16_t{0xD800}, u'b'},   // high surrogate alone
      std::u16string{u'a', char16_t{0xDC00}},         // low surrogate alone
      std::u16string{char16_t{0xDBFF}},               // high surrogate at the end
      std::u16string{char16_t{0xDC00}, char16_t{0xD800}},  // reversed pair
      u"",
  };
  int index = 0;
  for (const std::u16string& text : strings) {
    Bytes bytes;
    for (const char16_t unit : text) {
      Append16(bytes, unit);
    }
    WriteSeed(directory, index++, bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::filesystem::create_directories(out / "speed_effect");
  std::filesystem::create_directories(out / "narrow_path");
  WriteSpeedEffectSeeds(out / "speed_effect");
  WriteNarrowPathSeeds(out / "narrow_path");
  return 0;
}
