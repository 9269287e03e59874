// What the tempo change keeps: a tone's pitch and level, sample steps no
// larger than the input's (but for what the fade itself adds), and channels
// in step with each other.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <tuple>

#include "tempo_runs.h"

namespace {

using tavrel::tempo::MakeTempoPlan;
using tavrel::tempo::TempoFormat;
using tempo_test::Samples;

struct ToneCase {
  TempoFormat format;
  double frequency;
};

void PrintTo(const ToneCase& tone, std::ostream* out) {
  *out << tone.frequency << " Hz at " << tone.format.sampleRate << " Hz, "
       << tone.format.bitsPerSample << " bits, " << tone.format.channels << " channels";
}

// One channel's samples [from, to) of the frames.
std::vector<double> Channel(const Samples& samples, std::size_t channels, std::size_t channel,
                            std::size_t from, std::size_t to) {
  std::vector<double> values;
  for (std::size_t i = from; i < to; ++i) {
    values.push_back(samples[i * channels + channel]);
  }
  return values;
}

// Frequency from the upward zero crossings, each placed between its two
// samples by linear interpolation: periods counted over the time they span.
double ZeroCrossingFrequency(const std::vector<double>& values, double rate) {
  double first = -1;
  double last = -1;
  std::size_t crossings = 0;
  for (std::size_t i = 1; i < values.size(); ++i) {
    if (values[i - 1] < 0 && values[i] >= 0) {
      last = static_cast<double>(i - 1) + values[i - 1] / (values[i - 1] - values[i]);
      first = crossings++ == 0 ? last : first;
    }
  }
  return crossings < 2 ? 0 : static_cast<double>(crossings - 1) / (last - first) * rate;
}

double Rms(const std::vector<double>& values) {
  double sum = 0;
  for (const double value : values) {
    sum += value * value;
  }
  return std::sqrt(sum / static_cast<double>(values.size()));
}

class ToneAtSpeed : public ::testing::TestWithParam<std::tuple<ToneCase, std::int32_t>> {
 protected:
  void SetUp() override {
    const auto& [tone, speed] = GetParam();
    // Two seconds: dozens of pieces at every speed.
    input_ = tempo_test::Tone(tone.format, tone.frequency, 0.8, 2 * tone.format.sampleRate);
    output_ = tempo_test::Stretch(tone.format, speed, input_).samples;
  }
  Samples input_;
  Samples output_;
};

// The middle half of the output, away from the first piece and the end,
// against a tone the tempo did not change: a resampling (the speed effect)
// would move the crossings by the speed, a bad seam by far more than 0.5 %.
TEST_P(ToneAtSpeed, KeepsItsPitchAndLevel) {
  const auto& [tone, speed] = GetParam();
  const std::size_t channels = tone.format.channels;
  const std::size_t frames = output_.size() / channels;
  const std::vector<double> middle = Channel(output_, channels, 0, frames / 4, 3 * frames / 4);
  EXPECT_NEAR(ZeroCrossingFrequency(middle, tone.format.sampleRate), tone.frequency,
              0.005 * tone.frequency);
  const double inputRms = Rms(Channel(input_, channels, 0, 0, input_.size() / channels));
  EXPECT_NEAR(Rms(middle), inputRms, 0.02 * inputRms);
}

// A sample step of a fade is a blend of the two input steps there, plus the
// change of weight per frame, 1 / (overlap + 1), times the difference of
// the two stretches. The search aligns them to the nearest frame, so for a
// tone they differ by at most half the largest step, plus one for samples
// rounded in the input; the output's rounding adds less than one.
TEST_P(ToneAtSpeed, MakesNoStepLargerThanTheInputsButForTheFade) {
  const auto& [tone, speed] = GetParam();
  const std::size_t channels = tone.format.channels;
  const double largest = static_cast<double>(tempo_test::LargestStep(input_, channels));
  const double overlap = MakeTempoPlan(tone.format, {}).overlap;
  const double margin = (largest / 2 + 1) / (overlap + 1) + 1;
  EXPECT_LE(static_cast<double>(tempo_test::LargestStep(output_, channels)), largest + margin);
}

INSTANTIATE_TEST_SUITE_P(
    , ToneAtSpeed,
    ::testing::Combine(::testing::Values(ToneCase{{1, 8000, 8}, 220.0},
                                         ToneCase{{1, 16000, 16}, 123.4},
                                         ToneCase{{2, 22050, 24}, 1000.0},
                                         ToneCase{{1, 44100, 16}, 440.0},
                                         ToneCase{{2, 48000, 32}, 311.0},
                                         ToneCase{{6, 96000, 16}, 2500.0}),
                       ::testing::Values(25, 50, 75, 150, 200, 400)));

class ChannelCount : public ::testing::TestWithParam<std::uint32_t> {};

// Every channel takes the same start: identical channels stay identical to
// the bit, and a channel at half the level of another stays half of it but
// for rounding, on sound that repeats nowhere, so that another start for it
// would show at once.
TEST_P(ChannelCount, StayInStep) {
  const std::uint32_t channels = GetParam();
  const TempoFormat mono{1, 16000, 16};
  const Samples source = tempo_test::Varied(mono, 32000, 11);
  const TempoFormat format{channels, 16000, 16};
  Samples identical;
  Samples halved;
  for (const std::int32_t sample : source) {
    identical.insert(identical.end(), channels, sample);
    halved.push_back(sample);
    halved.insert(halved.end(), channels - 1, sample / 2);
  }
  for (const std::int32_t speed : {50, 150}) {
    const Samples same = tempo_test::Stretch(format, speed, identical).samples;
    const Samples scaled = tempo_test::Stretch(format, speed, halved).samples;
    ASSERT_EQ(same.size(), scaled.size());
    for (std::size_t i = 0; i < same.size(); i += channels) {
      for (std::uint32_t c = 1; c < channels; ++c) {
        ASSERT_EQ(same[i + c], same[i]) << "frame " << i / channels << " at " << speed;
        ASSERT_LE(std::abs(scaled[i + c] - scaled[i] / 2), 2) << "frame " << i / channels;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(, ChannelCount, ::testing::Values(2u, 3u, 6u));

// Stereo whose sides are equal or opposite, the latter silent when mixed to
// mono, is stretched just as its one side alone: each side is that mono
// result, the opposite one but for rounding.
TEST(Stereo, WithEqualOrOppositeSidesIsStretchedAsItsMono) {
  const Samples mono = tempo_test::Varied({1, 44100, 16}, 88200, 13);
  for (const std::int32_t sign : {1, -1}) {
    Samples stereo;
    for (const std::int32_t sample : mono) {
      stereo.push_back(sample);
      stereo.push_back(sign * sample);
    }
    for (const std::int32_t speed : {50, 150}) {
      const Samples alone = tempo_test::Stretch({1, 44100, 16}, speed, mono).samples;
      const Samples both = tempo_test::Stretch({2, 44100, 16}, speed, stereo).samples;
      ASSERT_EQ(both.size(), 2 * alone.size());
      for (std::size_t i = 0; i < alone.size(); ++i) {
        ASSERT_EQ(both[2 * i], alone[i]) << "frame " << i << ", sign " << sign << ", " << speed;
        ASSERT_LE(std::abs(both[2 * i + 1] - sign * alone[i]), sign > 0 ? 0 : 1) << "frame " << i;
      }
    }
  }
}

}  // namespace
