// What the x86 kernels share. Stretching: mono and stereo frames of 8, 16,
// 24 or 32-bit samples without padding; each kernel gives exactly the bytes
// of the portable code, with the same IEEE operations in the same order,
// one rounding each, no fused multiply-add. Shrinking: 4-byte frames
// (16-bit stereo, 32-bit mono) up to speed 206 or 214 (MaxShrinkSpeed).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "wide_kernels.h"

namespace tavrel {

// The kernels of each instruction set, as WideKernels describes them.
std::uint32_t StretchDenseFramesAvx2(const std::uint8_t* input, std::uint32_t frames,
                                     const FrameLayout& layout, const StretchPositions& positions,
                                     std::uint32_t first, std::uint32_t end,
                                     std::uint8_t* output);
std::uint32_t ShrinkFramesAvx2(const std::uint8_t* input, std::uint32_t frames,
                               std::uint32_t blockAlign, const FramePicks& picks,
                               std::uint32_t first, std::uint32_t end, std::uint8_t* output);
// AVX-512 F, BW, DQ and VL, 16 samples at a time.
std::uint32_t StretchDenseFramesAvx512(const std::uint8_t* input, std::uint32_t frames,
                                       const FrameLayout& layout,
                                       const StretchPositions& positions, std::uint32_t first,
                                       std::uint32_t end, std::uint8_t* output);
std::uint32_t ShrinkFramesAvx512(const std::uint8_t* input, std::uint32_t frames,
                                 std::uint32_t blockAlign, const FramePicks& picks,
                                 std::uint32_t first, std::uint32_t end, std::uint8_t* output);

// A block's positions, read into locals: the output is written as bytes,
// which could alias anything, so fields would be read again after every
// store.
struct PositionTables {
  const std::uint32_t* frameAt;
  const double* fraction;
  const float* singleFraction;
};

// The highest speed at which a shrink kernel taking `group` output frames
// from a window of 2 × group input frames always finds them there: the
// group's last pick lies (group - 1) steps of speed / 100 frames past its
// first, which must stay within 2 × group - 1 frames.
constexpr std::int32_t MaxShrinkSpeed(std::int32_t group) {
  return (2 * group - 1) * 100 / (group - 1);
}

// The kernels take a group of output frames at a time, reading a window of
// samples from one frame past the group's first position: `loadedBytes`
// bytes, in frames of `frameBytes`. A group's next frames must be the ones
// after its current frames, and the window must stay inside the block of
// `frames` frames. Positions only grow, so both hold while the group's last
// position is at most the value returned (negative when no group fits).
inline std::int64_t LastGroupPosition(std::uint32_t frames, std::size_t frameBytes,
                                      std::size_t loadedBytes) {
  const std::int64_t blockBytes = std::int64_t{frames} * static_cast<std::int64_t>(frameBytes);
  const std::int64_t lastWindowStart =
      (blockBytes - static_cast<std::int64_t>(loadedBytes)) / static_cast<std::int64_t>(frameBytes);
  return std::min<std::int64_t>(std::int64_t{frames} - 2, lastWindowStart - 1);
}

// Runs Kernels::Run<sample width, channels> on the layouts the stretch
// kernels take: mono or stereo frames of 8, 16, 24 or 32-bit samples without
// padding. Returns `first` (nothing taken) for any other layout.
template <typename Kernels>
std::uint32_t RunOnDenseLayout(const FrameLayout& layout, const std::uint8_t* input,
                               std::uint32_t frames, const StretchPositions& positions,
                               std::uint32_t first, std::uint32_t end, std::uint8_t* output) {
  const unsigned bits = layout.bitsPerSample;
  const bool interpolated = bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (!interpolated || (layout.channels != 1 && layout.channels != 2) ||
      layout.blockAlign != layout.channels * (bits / 8)) {
    return first;
  }
  const bool stereo = layout.channels == 2;
  switch (bits) {
    case 8:
      return stereo ? Kernels::template Run<1, 2>(input, frames, positions, first, end, output)
                    : Kernels::template Run<1, 1>(input, frames, positions, first, end, output);
    case 16:
      return stereo ? Kernels::template Run<2, 2>(input, frames, positions, first, end, output)
                    : Kernels::template Run<2, 1>(input, frames, positions, first, end, output);
    case 24:
      return stereo ? Kernels::template Run<3, 2>(input, frames, positions, first, end, output)
                    : Kernels::template Run<3, 1>(input, frames, positions, first, end, output);
    default:
      return stereo ? Kernels::template Run<4, 2>(input, frames, positions, first, end, output)
                    : Kernels::template Run<4, 1>(input, frames, positions, first, end, output);
  }
}

}  // namespace tavrel
