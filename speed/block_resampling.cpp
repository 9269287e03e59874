#include "block_resampling.h"

#include <cstring>
#include <new>

#include "wide_kernels.h"

namespace tavrel {

std::uint32_t ResampledFrameCount(std::uint32_t frames, std::int32_t speed) {
  // frames <= 1024, so frames × 100 cannot overflow.
  return frames * 100u / static_cast<std::uint32_t>(speed);
}

bool SamplesFitInFrame(const FrameLayout& layout) {
  const std::uint32_t sampleBytes =
      std::uint32_t{layout.channels} * (std::uint32_t{layout.bitsPerSample} / 8u);
  return layout.blockAlign >= sampleBytes;
}

bool FramePicks::Compute(std::int32_t speed) {
  const std::uint32_t count = ResampledFrameCount(kFramesPerBlock, speed);
  frames_.reset(new (std::nothrow) std::uint32_t[count]);
  if (!frames_) {
    return false;
  }
  speed_ = speed;
  // A running sum instead of a product per frame; it stays below 102400.
  const auto step = static_cast<std::uint32_t>(speed);
  std::uint32_t position = 0;
  for (std::uint32_t i = 0; i < count; ++i, position += step) {
    frames_[i] = position / 100u;
  }
  return true;
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
void PickFrames(const std::uint8_t* input, const std::uint32_t* picks, std::uint32_t count,
                std::size_t width, std::uint8_t* output) {
  for (std::uint32_t i = 0; i < count; ++i) {
    CopyFrame(input, picks[i], output, i, width);
  }
}

}  // namespace

void ShrinkFrames(const std::uint8_t* input, std::uint32_t frames, std::uint32_t blockAlign,
                  const FramePicks& picks, std::uint32_t first, std::uint32_t end,
                  std::uint8_t* output, VectorPath path) {
  // The wide instructions take the frames they can; the plain code does the
  // rest.
  const WideKernels* wide = WideKernelsFor(path);
  const std::uint32_t done =
      wide != nullptr ? wide->shrinkFrames(input, frames, blockAlign, picks, first, end, output)
                      : first;
  const std::uint32_t* pick = picks.frames() + done;
  const std::uint32_t count = end - done;
  std::uint8_t* rest = output + std::size_t{done - first} * blockAlign;
  switch (blockAlign) {
    case 1: PickFrames<CopyFrameFixed<1>>(input, pick, count, 1, rest); break;
    case 2: PickFrames<CopyFrameFixed<2>>(input, pick, count, 2, rest); break;
    case 3: PickFrames<CopyFrameFixed<3>>(input, pick, count, 3, rest); break;
    case 4: PickFrames<CopyFrameFixed<4>>(input, pick, count, 4, rest); break;
    case 6: PickFrames<CopyFrameFixed<6>>(input, pick, count, 6, rest); break;
    case 8: PickFrames<CopyFrameFixed<8>>(input, pick, count, 8, rest); break;
    default: PickFrames<CopyFrameAny>(input, pick, count, blockAlign, rest); break;
  }
}

}  // namespace tavrel
