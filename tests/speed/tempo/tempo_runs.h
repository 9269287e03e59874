// Signals for the tempo tests, and the tempo change run on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tempo_stretcher.h"

namespace tempo_test {

using Samples = std::vector<std::int32_t>;
using tavrel::tempo::TempoFormat;

// A sine of `frequency` Hz at `level` (0 to 1) of the depth's full scale,
// the same in every channel.
Samples Tone(const TempoFormat& format, double frequency, double level, std::size_t frames);

// Sound that repeats nowhere: a gliding tone over seeded noise, each
// channel with a glide of its own, at about half of full scale.
Samples Varied(const TempoFormat& format, std::size_t frames, std::uint32_t seed);

// Keeps every frame it is given.
class KeptFrames final : public tavrel::tempo::FrameSink {
 public:
  bool Take(const std::int32_t* samples, std::size_t frames) override;
  Samples samples;
  std::size_t channels = 1;
};

// Counts the frames it is given.
class CountedFrames final : public tavrel::tempo::FrameSink {
 public:
  bool Take(const std::int32_t*, std::size_t frames) override {
    count += frames;
    return true;
  }
  std::uint64_t count = 0;
};

struct Stretched {
  Samples samples;
  std::uint64_t frames = 0;
};

// The tempo change of `input` at `speed`, pushed in blocks of
// blockFrames[0], blockFrames[1], … (the list repeats; empty: one push).
// Fails the test when a call fails.
Stretched Stretch(const TempoFormat& format, std::int32_t speed, const Samples& input,
                  const std::vector<std::size_t>& blockFrames = {});

// The largest step between consecutive samples of a channel.
std::int64_t LargestStep(const Samples& samples, std::size_t channels);

}  // namespace tempo_test
