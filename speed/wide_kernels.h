// Resampling with wide vector instructions, for the layouts nearly every
// file has. A build has them where its kernel folder provides them
// (speed/kernels/x86/ on x86-64 Linux); every other build, and every other
// layout, is computed by the portable code alone, which gives the same
// bytes.
#pragma once

#include <cstdint>

#include "block_resampling.h"

namespace tavrel {

struct WideKernels {
  // Output frames [first, end) of a stretched block, written from `output`
  // on, as far as the kernel can take them: it stops where the next frame
  // of an output frame is no longer the one after it (at the block's end),
  // and takes nothing of a layout it does not know. Returns the frame up to
  // which it wrote; the portable code does the rest.
  std::uint32_t (*stretchDenseFrames)(const std::uint8_t* input, std::uint32_t frames,
                                      const FrameLayout& layout,
                                      const StretchPositions& positions, std::uint32_t first,
                                      std::uint32_t end, std::uint8_t* output);
  // The same for a shrunk block.
  std::uint32_t (*shrinkFrames)(const std::uint8_t* input, std::uint32_t frames,
                                std::uint32_t blockAlign, const FramePicks& picks,
                                std::uint32_t first, std::uint32_t end, std::uint8_t* output);
};

// The kernels of `path` in this build; null for the portable path and for
// any path the build has none for. The processor must be able to take
// `path` (CanUseVectorPath).
const WideKernels* WideKernelsFor(VectorPath path);

}  // namespace tavrel
