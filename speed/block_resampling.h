// Turning one block of frames into the frames of the faster or slower sound.
//
// Each block is resampled by itself: no position, phase or sample carries
// over to the next block. Nothing here allocates per block or per frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavrel {

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

// Where each output frame of a stretched block lies in the input block:
// frame i lies at i × speed × 0.01, multiplied in that order. Multiplying by
// the constant 0.01 is not the same as dividing by 100; it decides the
// fraction's lowest bits. The positions are the same for every block at one
// speed, so they are computed once.
class StretchPositions {
 public:
  // Computes the positions of every frame a full block yields at `speed`
  // (1 to 99). False when the memory cannot be had.
  bool Compute(std::int32_t speed);

  std::int32_t speed() const { return speed_; }
  // The input frame at or before output frame i's position.
  std::uint32_t FrameAt(std::uint32_t i) const { return frames_[i]; }
  // How far past that frame the position lies, in [0, 1).
  double FractionAt(std::uint32_t i) const { return fractions_[i]; }
  // The same fraction rounded to single precision, as the 16-bit rule uses it.
  float SingleFractionAt(std::uint32_t i) const { return singleFractions_[i]; }

 private:
  std::unique_ptr<std::uint32_t[]> frames_;
  std::unique_ptr<double[]> fractions_;
  std::unique_ptr<float[]> singleFractions_;
  std::int32_t speed_ = 0;
};

// Speed 100: the block itself, without a copy.
ResampledBlock CopyBlock(const std::uint8_t* input, std::uint32_t frames);

// Speed above 100: output frame i is input frame i × speed / 100.
ResampledBlock ShrinkBlock(const std::uint8_t* input, std::uint32_t frames,
                           const FrameLayout& layout, std::int32_t speed,
                           std::uint8_t* output);

// Speed below 100: output frame i is interpolated linearly between the
// input frame at its position and the one after it (itself, for the block's
// last frame). Samples of 8, 16, 24 and 32 bits are computed; any other
// depth, and bytes of a frame past its samples, are written as zeros. Needs
// SamplesFitInFrame(layout).
ResampledBlock StretchBlock(const std::uint8_t* input, std::uint32_t frames,
                            const FrameLayout& layout, const StretchPositions& positions,
                            std::uint8_t* output);

// The output area and positions for one layout and speed, allocated once,
// and the choice of strategy for each block.
class BlockResampler {
 public:
  BlockResampler(const FrameLayout& layout, std::int32_t speed) : layout_(layout), speed_(speed) {}

  // False when the memory cannot be had (or does not fit this host's
  // address space).
  bool Allocate();

  ResampledBlock Resample(const std::uint8_t* input, std::uint32_t frames);

 private:
  FrameLayout layout_;
  std::int32_t speed_;
  std::unique_ptr<std::uint8_t[]> output_;
  StretchPositions positions_;
};

}  // namespace tavrel
