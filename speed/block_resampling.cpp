#include "block_resampling.h"

#include <algorithm>
#include <cstring>

#include "sample_rules.h"

namespace speed {

std::uint32_t ResampledFrameCount(std::uint32_t frames, std::int32_t speed) {
  // frames <= 1024, so frames × 100 cannot overflow.
  return frames * 100u / static_cast<std::uint32_t>(speed);
}

std::uint32_t OutputCapacityFrames(std::int32_t speed) {
  if (speed >= 100) {
    return kFramesPerBlock;
  }
  return kFramesPerBlock * 100u / static_cast<std::uint32_t>(speed) + 2u;
}

bool SamplesFitInFrame(const FrameLayout& layout) {
  const std::uint32_t sampleBytes =
      std::uint32_t{layout.channels} * (std::uint32_t{layout.bitsPerSample} / 8u);
  return layout.blockAlign >= sampleBytes;
}

ResampledBlock CopyBlock(const std::uint8_t* input, std::uint32_t frames) {
  return {input, frames};
}

namespace {

// Copies frame `source` to frame `target`. A fixed width lets the compiler
// turn the copy into one load and one store.
template <std::size_t kWidth>
void CopyFrameFixed(const std::uint8_t* input, std::uint32_t source,
                    std::uint8_t* output, std::uint32_t target, std::size_t) {
  std::memcpy(output + std::size_t{target} * kWidth, input + std::size_t{source} * kWidth, kWidth);
}

void CopyFrameAny(const std::uint8_t* input, std::uint32_t source,
                  std::uint8_t* output, std::uint32_t target, std::size_t width) {
  std::memcpy(output + std::size_t{target} * width, input + std::size_t{source} * width, width);
}

template <auto CopyFrame>
void PickFrames(const std::uint8_t* input, std::uint32_t outputFrames,
                std::size_t width, std::uint32_t speed, std::uint8_t* output) {
  // The source index i × speed / 100 comes from a running sum, so no
  // multiplication is needed per frame.
  std::uint32_t position = 0;
  for (std::uint32_t i = 0; i < outputFrames; ++i) {
    CopyFrame(input, position / 100u, output, i, width);
    position += speed;
  }
}

}  // namespace

ResampledBlock ShrinkBlock(const std::uint8_t* input, std::uint32_t frames,
                           const FrameLayout& layout, std::int32_t speed,
                           std::uint8_t* output) {
  const std::uint32_t count = ResampledFrameCount(frames, speed);
  // count >= 1 only when speed <= frames × 100, so the running sum stays
  // below 2 × 102400 and cannot overflow.
  const auto step = static_cast<std::uint32_t>(speed);
  switch (layout.blockAlign) {
    case 1: PickFrames<CopyFrameFixed<1>>(input, count, 1, step, output); break;
    case 2: PickFrames<CopyFrameFixed<2>>(input, count, 2, step, output); break;
    case 3: PickFrames<CopyFrameFixed<3>>(input, count, 3, step, output); break;
    case 4: PickFrames<CopyFrameFixed<4>>(input, count, 4, step, output); break;
    case 6: PickFrames<CopyFrameFixed<6>>(input, count, 6, step, output); break;
    case 8: PickFrames<CopyFrameFixed<8>>(input, count, 8, step, output); break;
    default: PickFrames<CopyFrameAny>(input, count, layout.blockAlign, step, output); break;
  }
  return {output, count};
}

namespace {

// The source position of output frame i: i × speed × 0.01, in that order.
// Multiplying by the constant 0.01 is not the same as dividing by 100; it
// is what the stretch has always done, and it decides the fraction's
// lowest bits.
struct SourcePosition {
  std::uint32_t current;  // the frame at or before the position
  std::uint32_t next;     // the frame after it, or itself at the block's end
  double fraction;        // how far the position lies past `current`
};

SourcePosition Locate(std::uint32_t i, double speed, std::uint32_t frames) {
  const double position = static_cast<double>(i) * speed * 0.01;
  // The position lies below `frames` for every i the block produces; the
  // bound only guards the reads against a broken invariant.
  const auto current = std::min(static_cast<std::uint32_t>(position), frames - 1);
  const double fraction = position - static_cast<double>(current);
  const std::uint32_t next = current + 1 < frames ? current + 1 : current;
  return {current, next, fraction};
}

template <typename Rule>
void InterpolateFrames(const std::uint8_t* input, std::uint32_t frames,
                       const FrameLayout& layout, std::int32_t speed,
                       std::uint8_t* output, std::uint32_t count) {
  const std::size_t frameBytes = layout.blockAlign;
  const double speedAsDouble = static_cast<double>(speed);
  for (std::uint32_t i = 0; i < count; ++i) {
    const SourcePosition at = Locate(i, speedAsDouble, frames);
    const std::uint8_t* cur = input + at.current * frameBytes;
    const std::uint8_t* nxt = input + at.next * frameBytes;
    std::uint8_t* out = output + i * frameBytes;
    for (std::uint32_t c = 0; c < layout.channels; ++c) {
      const std::size_t offset = std::size_t{c} * Rule::kWidth;
      Rule::Interpolate(cur + offset, nxt + offset, at.fraction, out + offset);
    }
  }
}

}  // namespace

ResampledBlock StretchBlock(const std::uint8_t* input, std::uint32_t frames,
                            const FrameLayout& layout, std::int32_t speed,
                            std::uint8_t* output) {
  const std::uint32_t count = ResampledFrameCount(frames, speed);
  const std::size_t outputBytes = std::size_t{count} * layout.blockAlign;
  const std::uint32_t width = layout.bitsPerSample / 8u;
  const bool computed = layout.bitsPerSample == 8 || layout.bitsPerSample == 16 ||
                        layout.bitsPerSample == 24 || layout.bitsPerSample == 32;
  // Bytes that no rule computes are written as zeros: padding after the
  // samples of a frame, or whole frames of a depth without a rule.
  if (!computed || layout.blockAlign > std::uint32_t{layout.channels} * width) {
    std::memset(output, 0, outputBytes);
  }
  switch (computed ? layout.bitsPerSample : 0) {
    case 8: InterpolateFrames<rules::Unsigned8>(input, frames, layout, speed, output, count); break;
    case 16: InterpolateFrames<rules::Signed16>(input, frames, layout, speed, output, count); break;
    case 24: InterpolateFrames<rules::Signed24>(input, frames, layout, speed, output, count); break;
    case 32: InterpolateFrames<rules::Signed32>(input, frames, layout, speed, output, count); break;
    default: break;
  }
  return {output, count};
}

ResampledBlock ResampleBlock(const std::uint8_t* input, std::uint32_t frames,
                             const FrameLayout& layout, std::int32_t speed,
                             std::uint8_t* output) {
  if (speed == 100) {
    return CopyBlock(input, frames);
  }
  if (speed > 100) {
    return ShrinkBlock(input, frames, layout, speed, output);
  }
  return StretchBlock(input, frames, layout, speed, output);
}

}  // namespace speed
