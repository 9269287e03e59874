#include "tempo_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tempo_test {

namespace {

double FullScale(const TempoFormat& format) {
  return std::ldexp(1.0, static_cast<int>(format.bitsPerSample) - 1) - 1.0;
}

}  // namespace

Samples Tone(const TempoFormat& format, double frequency, double level, std::size_t frames) {
  Samples samples;
  samples.reserve(frames * format.channels);
  const double amplitude = level * FullScale(format);
  for (std::size_t i = 0; i < frames; ++i) {
    const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(i) / format.sampleRate;
    const auto value = static_cast<std::int32_t>(std::lround(amplitude * std::sin(phase)));
    samples.insert(samples.end(), format.channels, value);
  }
  return samples;
}

Samples Varied(const TempoFormat& format, std::size_t frames, std::uint32_t seed) {
  Samples samples;
  samples.reserve(frames * format.channels);
  const double amplitude = 0.3 * FullScale(format);
  std::uint32_t state = seed;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / format.sampleRate;
    for (std::uint32_t c = 0; c < format.channels; ++c) {
      state = state * 1664525u + 1013904223u;
      const double noise = static_cast<double>(state >> 8) / 16777216.0 - 0.5;
      const double glide = std::sin(2 * std::numbers::pi * (150.0 + 40.0 * c + 300.0 * t) * t);
      samples.push_back(static_cast<std::int32_t>(std::lround(amplitude * (glide + noise))));
    }
  }
  return samples;
}

bool KeptFrames::Take(const std::int32_t* frames, std::size_t count) {
  samples.insert(samples.end(), frames, frames + count * channels);
  return true;
}

Stretched Stretch(const TempoFormat& format, std::int32_t speed, const Samples& input,
                  const std::vector<std::size_t>& blockFrames) {
  tavrel::tempo::TempoStretcher stretcher;
  EXPECT_EQ(stretcher.Configure(format, speed), tavrel::tempo::TempoStretcher::Setup::kReady);
  KeptFrames sink;
  sink.channels = format.channels;
  const std::size_t frames = input.size() / format.channels;
  for (std::size_t at = 0, block = 0; at < frames; ++block) {
    const std::size_t wanted = blockFrames.empty() ? frames : blockFrames[block % blockFrames.size()];
    const std::size_t count = std::min(wanted, frames - at);
    EXPECT_TRUE(stretcher.Push(input.data() + at * format.channels, count, sink));
    at += count;
  }
  EXPECT_TRUE(stretcher.Finish(sink));
  return {std::move(sink.samples), stretcher.outputFrames()};
}

std::int64_t LargestStep(const Samples& samples, std::size_t channels) {
  std::int64_t largest = 0;
  for (std::size_t i = channels; i < samples.size(); ++i) {
    largest = std::max<std::int64_t>(largest, std::llabs(std::int64_t{samples[i]} - samples[i - channels]));
  }
  return largest;
}

}  // namespace tempo_test
