#include "cross_fade.h"

#include <algorithm>
#include <new>

namespace tavrel::tempo {

namespace {

constexpr std::int32_t kHalfWeight = kUnitWeight / 2;
constexpr std::int32_t kFractionBits = kUnitWeight - 1;

}  // namespace

bool CrossFade::Allocate(std::uint32_t frames, std::uint32_t channels,
                         std::uint32_t bitsPerSample) {
  weights_.reset(new (std::nothrow) std::uint32_t[frames]);
  flags_.reset(new (std::nothrow) std::uint8_t[std::size_t{frames} * channels]);
  if (!weights_ || !flags_) {
    return false;
  }
  frames_ = frames;
  narrow_ = bitsPerSample <= 16;
  const std::uint64_t steps = std::uint64_t{frames} + 1u;
  for (std::uint32_t j = 0; j < frames; ++j) {
    // round((j + 1) × unit / steps), halves up.
    weights_[j] = static_cast<std::uint32_t>(((j + 1u) * std::uint64_t{2u * kUnitWeight} + steps) /
                                             (2u * steps));
  }
  return true;
}

void CrossFade::Blend(const std::int32_t* outgoing, const std::int32_t* incomingBefore,
                      const std::int32_t* incoming, std::uint32_t channels,
                      std::int32_t* output) const {
  if (narrow_) {
    BlendIn<std::int32_t>(outgoing, incomingBefore, incoming, channels, output);
  } else {
    BlendIn<std::int64_t>(outgoing, incomingBefore, incoming, channels, output);
  }
}

// Wide holds a difference of two samples times a weight: for samples of 16
// bits or fewer, |difference| <= 65535 and weight < 2^15, so 32 bits do;
// otherwise 64. The results are the same either way.
template <typename Wide>
void CrossFade::BlendIn(const std::int32_t* outgoing, const std::int32_t* incomingBefore,
                        const std::int32_t* incoming, std::uint32_t channels,
                        std::int32_t* output) const {
  const std::size_t width = channels;
  // A local copy: stores through `output` could otherwise change frames_
  // for all the compiler knows, and the loops would not vectorise.
  const std::size_t frames = frames_;
  const std::size_t samples = frames * width;
  const std::int32_t* faded = outgoing + width;
  const std::uint32_t* weights = weights_.get();
  // The shift floors (C++20), so adding a half first rounds halves up.
  const auto blend = [](Wide a, Wide b, Wide weight) {
    return static_cast<std::int32_t>(a + (((b - a) * weight + kHalfWeight) >> kWeightBits));
  };
  // The plain blend, in loops the compiler can vectorise: one and two
  // channels are most sounds.
  if (width == 1) {
    for (std::size_t j = 0; j < frames; ++j) {
      output[j] = blend(faded[j], incoming[j], static_cast<Wide>(weights[j]));
    }
  } else if (width == 2) {
    for (std::size_t j = 0; j < frames; ++j) {
      const auto weight = static_cast<Wide>(weights[j]);
      output[2 * j] = blend(faded[2 * j], incoming[2 * j], weight);
      output[2 * j + 1] = blend(faded[2 * j + 1], incoming[2 * j + 1], weight);
    }
  } else {
    for (std::size_t j = 0; j < frames; ++j) {
      const auto weight = static_cast<Wide>(weights[j]);
      for (std::size_t c = 0; c < width; ++c) {
        output[j * width + c] = blend(faded[j * width + c], incoming[j * width + c], weight);
      }
    }
  }

  // Which steps are larger than both input steps at their place? Few, and
  // a flat loop over the samples tells.
  const auto magnitude = [](Wide value) { return value < 0 ? -value : value; };
  const auto exceeds = [&](Wide step, Wide outgoingStep, Wide incomingStep) {
    return magnitude(step) > std::max(magnitude(outgoingStep), magnitude(incomingStep));
  };
  std::uint8_t* flags = flags_.get();
  for (std::size_t c = 0; c < width; ++c) {
    flags[c] = exceeds(Wide{output[c]} - outgoing[c], Wide{faded[c]} - outgoing[c],
                       Wide{incoming[c]} - incomingBefore[c]);
  }
  for (std::size_t i = width; i < samples; ++i) {
    flags[i] = exceeds(Wide{output[i]} - output[i - width], Wide{faded[i]} - faded[i - width],
                       Wide{incoming[i]} - incoming[i - width]);
  }

  // There, the other rounding, when the blend was inexact and that makes
  // the step smaller. Sample `at` is settled from the one before it in its
  // channel; a change there moves the next step, which is settled again.
  const auto settle = [&](std::size_t at) {
    const bool first = at < width;
    const Wide previous = first ? outgoing[at] : output[at - width];
    const Wide a = faded[at];
    const Wide b = incoming[at];
    const Wide pull = (b - a) * static_cast<Wide>(weights[at / width]);
    const Wide rounded = a + ((pull + kHalfWeight) >> kWeightBits);
    const Wide fraction = pull & kFractionBits;
    const Wide other = fraction >= kHalfWeight ? rounded - 1 : rounded + 1;
    Wide value = rounded;
    if (fraction != 0 &&
        exceeds(rounded - previous, a - (first ? outgoing[at] : faded[at - width]),
                b - (first ? incomingBefore[at] : incoming[at - width])) &&
        magnitude(other - previous) < magnitude(rounded - previous)) {
      value = other;
    }
    const bool changed = value != output[at];
    output[at] = static_cast<std::int32_t>(value);
    return changed;
  };
  for (std::size_t i = 0; i < samples; ++i) {
    if (flags[i] != 0) {
      for (std::size_t at = i; settle(at) && at + width < samples;) {
        at += width;
      }
    }
  }
}

}  // namespace tavrel::tempo
