#include "block_resampling.h"

#include <cstring>
#include <limits>
#include <new>

namespace tavrel {

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

bool BlockResampler::Allocate() {
  const std::uint64_t bytes = std::uint64_t{OutputCapacityFrames(speed_)} * layout_.blockAlign;
  if (bytes > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
    return false;
  }
  output_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]);
  if (!output_) {
    return false;
  }
  return speed_ >= 100 || positions_.Compute(speed_);
}

ResampledBlock BlockResampler::Resample(const std::uint8_t* input, std::uint32_t frames) {
  if (speed_ == 100) {
    return CopyBlock(input, frames);
  }
  if (speed_ > 100) {
    return ShrinkBlock(input, frames, layout_, speed_, output_.get());
  }
  return StretchBlock(input, frames, layout_, positions_, output_.get());
}

}  // namespace tavrel
