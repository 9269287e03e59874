// Turning one block of frames into the frames of the faster or slower sound.
//
// Each block is resampled by itself: no position, phase or sample carries
// over to the next block. None of these functions allocates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace speed {

// Frames are read in blocks of at most this many.
inline constexpr std::uint32_t kFramesPerBlock = 1024;

// How the bytes of a frame are laid out, as the source's header gives it.
struct FrameLayout {
  std::uint16_t channels;
  std::uint16_t blockAlign;     // bytes per frame
  std::uint16_t bitsPerSample;  // a sample is bitsPerSample / 8 bytes wide
};

// Frames a strategy produces from a block of `frames`, at a speed other than
// 100: frames × 100 / speed, truncated.
std::uint32_t ResampledFrameCount(std::uint32_t frames, std::int32_t speed);

// Room, in frames, the output area needs for any block at `speed` (>= 1).
std::uint32_t OutputCapacityFrames(std::int32_t speed);

// Whether every sample of a frame lies inside the frame, which the
// interpolation needs: block align >= channels × (bits / 8).
bool SamplesFitInFrame(const FrameLayout& layout);

// The frames a block turned into: where they are and how many.
struct ResampledBlock {
  const std::uint8_t* frames;
  std::uint32_t count;
};

// Speed 100: the block itself, without a copy.
ResampledBlock CopyBlock(const std::uint8_t* input, std::uint32_t frames);

// Speed above 100: output frame i is input frame i × speed / 100.
ResampledBlock ShrinkBlock(const std::uint8_t* input, std::uint32_t frames,
                           const FrameLayout& layout, std::int32_t speed,
                           std::uint8_t* output);

// Speed below 100: output frame i is interpolated linearly between input
// frames floor(i × speed / 100) and the one after it. Samples of 8, 16, 24
// and 32 bits are computed; any other depth, and bytes of a frame past its
// samples, are written as zeros. Needs SamplesFitInFrame(layout).
ResampledBlock StretchBlock(const std::uint8_t* input, std::uint32_t frames,
                            const FrameLayout& layout, std::int32_t speed,
                            std::uint8_t* output);

// Picks the strategy for `speed`.
ResampledBlock ResampleBlock(const std::uint8_t* input, std::uint32_t frames,
                             const FrameLayout& layout, std::int32_t speed,
                             std::uint8_t* output);

}  // namespace speed
