#include "output_cases.h"

#include <cstdio>

#include "test_files.h"

namespace portability {
namespace {

// Bit depths without an interpolation rule: their frames are copied or
// picked whole, and stretching writes zeros.
constexpr std::uint16_t kOddDepths[] = {12, 13, 20};
constexpr std::uint16_t kInterpolatedDepths[] = {8, 16, 24, 32};
constexpr std::uint16_t kPadding = 3;

// One full block of 1024 frames, then a short block, so that the restart
// of the interpolation at each block is covered.
constexpr std::uint32_t kSpreadFrames = 1024 + 75;
constexpr std::uint32_t kSweepFrames = 1024 + 9;
// The tempo effect's pieces are 40 ms: about a dozen of them at 100.
constexpr std::uint32_t kTempoFrames = 12000 + 5;

}  // namespace

std::string OutputCase::Name() const {
  char name[96];
  std::snprintf(name, sizeof name, "%sbits=%u channels=%u blockAlign=%u frames=%u speeds=%s",
                tempo ? "tempo " : "", unsigned{bits}, unsigned{channels}, unsigned{blockAlign}, unsigned{frames},
                everySpeed ? "1..1000" : "spread");
  return name;
}

std::vector<std::int32_t> OutputCase::Speeds() const {
  if (tempo) {
    return {25, 33, 50, 75, 99, 100, 101, 150, 200, 333, 400, 1000};
  }
  if (everySpeed) {
    std::vector<std::int32_t> speeds;
    for (std::int32_t speed = 1; speed <= 1000; ++speed) {
      speeds.push_back(speed);
    }
    return speeds;
  }
  return {1, 2, 3, 7, 10, 33, 49, 50, 51, 66, 75, 99, 100,
          101, 133, 150, 199, 200, 256, 333, 499, 500, 999, 1000};
}

std::vector<OutputCase> AllOutputCases() {
  std::vector<OutputCase> cases;
  auto addDepth = [&cases](std::uint16_t bits) {
    const auto sampleBytes = static_cast<std::uint16_t>((bits + 7) / 8);
    for (std::uint16_t channels = 1; channels <= 8; ++channels) {
      const auto tight = static_cast<std::uint16_t>(channels * sampleBytes);
      cases.push_back({bits, channels, tight, kSpreadFrames, false});
      cases.push_back({bits, channels, static_cast<std::uint16_t>(tight + kPadding), kSpreadFrames,
                       false});
    }
  };
  for (const std::uint16_t bits : kInterpolatedDepths) {
    addDepth(bits);
  }
  for (const std::uint16_t bits : kOddDepths) {
    addDepth(bits);
  }
  // Every speed, on one layout of each interpolated depth.
  cases.push_back({8, 2, 2, kSweepFrames, true});
  cases.push_back({16, 1, 2, kSweepFrames, true});
  cases.push_back({24, 3, 10, kSweepFrames, true});
  cases.push_back({32, 1, 4, kSweepFrames, true});
  // The tempo effect: mono, stereo with padding bytes and five channels of
  // each depth it computes, and a depth it refuses but at 100.
  for (const std::uint16_t bits : kInterpolatedDepths) {
    const auto sampleBytes = static_cast<std::uint16_t>(bits / 8);
    cases.push_back({bits, 1, sampleBytes, kTempoFrames, false, true});
    cases.push_back({bits, 2, static_cast<std::uint16_t>(2 * sampleBytes + kPadding), kTempoFrames,
                     false, true});
    cases.push_back({bits, 5, static_cast<std::uint16_t>(5 * sampleBytes), kTempoFrames, false,
                     true});
  }
  cases.push_back({12, 1, 2, kTempoFrames, false, true});
  return cases;
}

std::vector<std::uint8_t> MakeSourceWav(const OutputCase& c) {
  // A piece shorter than a frame at the end, which must be dropped.
  const std::uint32_t trailing = c.blockAlign > 1 ? 1u : 0u;
  const std::uint32_t dataSize = c.frames * c.blockAlign + trailing;
  std::vector<std::uint8_t> data;
  std::uint32_t state = 0x9E3779B9u ^ (std::uint32_t{c.bits} << 16) ^
                        (std::uint32_t{c.channels} << 8) ^ c.blockAlign;
  for (std::uint32_t i = 0; i < dataSize; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // Runs of 0x00 and 0xFF bytes give full-scale samples of both signs.
    const std::uint32_t run = (i / 64) % 8;
    data.push_back(run == 3 ? 0xFF : run == 5 ? 0x00 : static_cast<std::uint8_t>(state >> 24));
  }
  return test_support::MakeWav({c.channels, 22050, c.bits, c.blockAlign}, data);
}

}  // namespace portability
