// The lengths a tempo change works with, for one sound.
//
// The lengths are chosen in milliseconds, for what the ear hears, and turned
// into frames once with the sample rate. Every buffer is sized from them,
// never from the input's length or the speed, so memory stays bounded at any
// speed.
#pragma once

#include <cstdint>

namespace tavrel::tempo {

// Frames the tempo change makes of `inputFrames` at `speed` percent (>= 1;
// 100 keeps the tempo): floor(inputFrames × 100 / speed), exactly, for every
// input whose result fits in 64 bits (any input below 2^56 frames).
std::uint64_t TempoOutputFrames(std::uint64_t inputFrames, std::int32_t speed);

// What the caller says about the samples it hands over.
struct TempoFormat {
  std::uint32_t channels;       // samples per frame, at least 1
  std::uint32_t sampleRate;     // frames per second, at least 1
  std::uint32_t bitsPerSample;  // 8, 16, 24 or 32: the range the samples lie in
};

// The method's lengths, in milliseconds.
struct TempoTimings {
  // Output between the starts of two consecutive pieces of input.
  std::uint32_t sequenceMs = 40;
  // The cross-fade at the start of each piece, which is also the stretch
  // compared when looking for where the piece should start.
  std::uint32_t overlapMs = 10;
  // How far, either way, a piece may start from its nominal place.
  std::uint32_t searchMs = 15;
};

// The same lengths in frames, with how the similarity search scales samples.
struct TempoPlan {
  std::uint32_t sequence;    // output frames per piece; at least 2 × overlap
  std::uint32_t overlap;     // cross-faded frames per piece; at least 1
  std::uint32_t search;      // frames either side of the nominal start
  std::uint32_t decimation;  // frames per guide value of the coarse search; at most overlap
  std::uint32_t decimationShift;  // ceil(log2(decimation))
  // The range of a sample of the depth (8-bit ones centred on 0).
  std::int32_t sampleLowest;
  std::int32_t sampleHighest;
  // Guide values per frame: 1 for mono, else 2 (even and odd channels).
  std::uint32_t guideLanes;
  // Each sample is shifted right by this before a lane's channels are
  // summed: the sum then lies within ±kGuideLimit.
  std::uint32_t guideShift;
};

// Above this rate the lengths in frames stay those of this rate, so that no
// header can ask for huge buffers; the pieces are then shorter in time.
inline constexpr std::uint32_t kLongestPlanRate = 384000;

// The coarse search looks at about this many guide values per second.
inline constexpr std::uint32_t kCoarseSearchRate = 8000;

// Guide values lie in [-kGuideLimit, kGuideLimit]: 256 products of two fit
// a 32-bit sum, so the correlation's inner loop can stay 32 bits wide.
inline constexpr std::int32_t kGuideLimit = 2048;

// Whether the format can be worked with: at least one channel, a rate of at
// least 1, and 8, 16, 24 or 32 bits.
bool IsUsableFormat(const TempoFormat& format);

// The plan for a usable format; zero lengths in `timings` are raised to the
// smallest that work.
TempoPlan MakeTempoPlan(const TempoFormat& format, const TempoTimings& timings);

}  // namespace tavrel::tempo
