// Stretching a block: linear interpolation between neighbouring frames.
//
// Samples are handled in chunks: the samples a chunk needs are gathered into
// arrays, the rule computes all results in one simple loop (which the
// compiler turns into vector instructions), and the results are scattered
// into the output frames.
#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "block_resampling.h"
#include "sample_rules.h"
#include "wide_kernels.h"

namespace tavrel {

bool StretchPositions::Allocate(std::int32_t speed, std::uint32_t blockFrames) {
  const std::uint32_t count = ResampledFrameCount(blockFrames, speed);
  frames_.reset(new (std::nothrow) std::uint32_t[count]);
  fractions_.reset(new (std::nothrow) double[count]);
  singleFractions_.reset(new (std::nothrow) float[count]);
  if (!frames_ || !fractions_ || !singleFractions_) {
    return false;
  }
  capacity_ = count;
  computed_ = 0;
  speed_ = speed;
  return true;
}

void StretchPositions::ComputeUpTo(std::uint32_t count) {
  count = std::min(count, capacity_);
  const auto speedAsDouble = static_cast<double>(speed_);
  for (std::uint32_t i = computed_; i < count; ++i) {
    const double position = static_cast<double>(i) * speedAsDouble * 0.01;
    frames_[i] = static_cast<std::uint32_t>(position);
    fractions_[i] = position - static_cast<double>(frames_[i]);
    singleFractions_[i] = static_cast<float>(fractions_[i]);
  }
  computed_ = std::max(computed_, count);
}

namespace {

// Samples per chunk: small enough for the stack, large enough for the
// vector loop to pay off.
constexpr std::uint32_t kChunkSamples = 1024;

// The samples of output frames [firstFrame, endFrame), channels
// [firstChannel, endChannel).
struct Chunk {
  std::uint32_t firstFrame;
  std::uint32_t endFrame;
  std::uint32_t firstChannel;
  std::uint32_t endChannel;
};

template <typename Rule>
typename Rule::Fraction FractionFor(const StretchPositions& positions, std::uint32_t i) {
  if constexpr (std::is_same_v<typename Rule::Fraction, float>) {
    return positions.SingleFractionAt(i);
  } else {
    return positions.FractionAt(i);
  }
}

// kChannels is the chunk's channel count when known at compile time (mono
// and stereo, by far the most common), 0 when it is taken from the chunk;
// kDense says that frames hold their samples and nothing else, so that the
// frame size is known too.
template <typename Rule, std::uint32_t kChannels, bool kDense>
void InterpolateChunk(const std::uint8_t* input, std::uint32_t frames, std::size_t blockAlign,
                      const StretchPositions& positions, const Chunk& chunk,
                      std::uint8_t* output) {
  // `output` is where the chunk's first frame goes.
  const std::size_t frameBytes = kDense ? std::size_t{kChannels} * Rule::kWidth : blockAlign;
  typename Rule::Value cur[kChunkSamples];
  typename Rule::Value nxt[kChunkSamples];
  typename Rule::Value result[kChunkSamples];
  typename Rule::Fraction fraction[kChunkSamples];
  const std::uint32_t channels =
      kChannels != 0 ? kChannels : chunk.endChannel - chunk.firstChannel;
  const std::size_t channelOffset = std::size_t{chunk.firstChannel} * Rule::kWidth;

  std::size_t k = 0;
  for (std::uint32_t i = chunk.firstFrame; i < chunk.endFrame; ++i) {
    // The frame at a position is i × speed / 100 exactly (the unit tests
    // check every speed), so for i below the block's count it lies inside
    // the block. The last frame is interpolated with itself, not with the
    // next block's first frame.
    const std::uint32_t at = positions.FrameAt(i);
    const std::uint32_t next = std::min(at + 1, frames - 1);
    const typename Rule::Fraction f = FractionFor<Rule>(positions, i);
    const std::uint8_t* curFrame = input + at * frameBytes + channelOffset;
    const std::uint8_t* nxtFrame = input + next * frameBytes + channelOffset;
    for (std::uint32_t c = 0; c < channels; ++c, ++k) {
      cur[k] = Rule::Read(curFrame + c * Rule::kWidth);
      nxt[k] = Rule::Read(nxtFrame + c * Rule::kWidth);
      fraction[k] = f;
    }
  }

  Rule::Compute(cur, nxt, fraction, result, k);

  std::uint8_t* first = output + channelOffset;
  if (frameBytes == std::size_t{channels} * Rule::kWidth) {
    // Whole frames without padding: the results lie back to back.
    for (std::size_t j = 0; j < k; ++j) {
      Rule::Write(first + j * Rule::kWidth, result[j]);
    }
    return;
  }
  k = 0;
  for (std::uint32_t i = chunk.firstFrame; i < chunk.endFrame; ++i, first += frameBytes) {
    for (std::uint32_t c = 0; c < channels; ++c, ++k) {
      Rule::Write(first + c * Rule::kWidth, result[k]);
    }
  }
}

// Output frames [firstFrame, endFrame), written from `output` on.
template <typename Rule>
void InterpolateFrames(const std::uint8_t* input, std::uint32_t frames, const FrameLayout& layout,
                       const StretchPositions& positions, std::uint32_t firstFrame,
                       std::uint32_t endFrame, std::uint8_t* output) {
  const std::uint32_t channels = layout.channels;
  const bool dense = layout.blockAlign == std::uint32_t{channels} * Rule::kWidth;
  auto interpolate = InterpolateChunk<Rule, 0, false>;
  if (channels == 1) {
    interpolate = dense ? InterpolateChunk<Rule, 1, true> : InterpolateChunk<Rule, 1, false>;
  } else if (channels == 2) {
    interpolate = dense ? InterpolateChunk<Rule, 2, true> : InterpolateChunk<Rule, 2, false>;
  }
  // A chunk holds whole frames, or, for more channels than fit, part of one.
  const std::uint32_t channelsPerChunk = std::min(channels, kChunkSamples);
  const std::uint32_t framesPerChunk = kChunkSamples / channelsPerChunk;
  for (std::uint32_t first = firstFrame; first < endFrame; first += framesPerChunk) {
    const std::uint32_t end = std::min(endFrame, first + framesPerChunk);
    std::uint8_t* chunkOutput = output + std::size_t{first - firstFrame} * layout.blockAlign;
    for (std::uint32_t channel = 0; channel < channels; channel += channelsPerChunk) {
      const Chunk chunk{first, end, channel, std::min(channels, channel + channelsPerChunk)};
      interpolate(input, frames, layout.blockAlign, positions, chunk, chunkOutput);
    }
  }
}

}  // namespace

void StretchFrames(const std::uint8_t* input, std::uint32_t frames, const FrameLayout& layout,
                   const StretchPositions& positions, std::uint32_t first, std::uint32_t end,
                   std::uint8_t* output, VectorPath path) {
  const std::uint32_t width = layout.bitsPerSample / 8u;
  const bool computed = layout.bitsPerSample == 8 || layout.bitsPerSample == 16 ||
                        layout.bitsPerSample == 24 || layout.bitsPerSample == 32;
  // Bytes that no rule computes are written as zeros: padding after the
  // samples of a frame, whole frames of a depth without a rule, and frames
  // without channels. The output area may hold anything before.
  if (!computed || layout.channels == 0 ||
      layout.blockAlign > std::uint32_t{layout.channels} * width) {
    std::memset(output, 0, std::size_t{end - first} * layout.blockAlign);
  }
  if (!computed || layout.channels == 0) {
    return;
  }
  // The wide instructions take the frames they can; the plain code does the
  // rest (and everything on other processors).
  const WideKernels* wide = WideKernelsFor(path);
  const std::uint32_t done =
      wide != nullptr ? wide->stretchDenseFrames(input, frames, layout, positions, first, end, output)
                      : first;
  std::uint8_t* rest = output + std::size_t{done - first} * layout.blockAlign;
  switch (layout.bitsPerSample) {
    case 8: InterpolateFrames<rules::Unsigned8>(input, frames, layout, positions, done, end, rest); break;
    case 16: InterpolateFrames<rules::Signed16>(input, frames, layout, positions, done, end, rest); break;
    case 24: InterpolateFrames<rules::Signed24>(input, frames, layout, positions, done, end, rest); break;
    default: InterpolateFrames<rules::Signed32>(input, frames, layout, positions, done, end, rest); break;
  }
}

}  // namespace tavrel
