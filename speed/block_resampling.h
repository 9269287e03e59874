// Turning one block of frames into the frames of the faster or slower sound.
//
// Each block is resampled by itself: no position, phase or sample carries
// over to the next block. A strategy produces any range of a block's output
// frames into any place, so that a long stretched run can be written in
// pieces and frames go straight into the buffer that is written to the
// file. Nothing here allocates per block or per frame.
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

// Frames a strategy produces from a block of `frames`: the same number at
// 100, else frames × 100 / speed, truncated.
std::uint32_t ResampledFrameCount(std::uint32_t frames, std::int32_t speed);

// Whether every sample of a frame lies inside the frame, which the
// interpolation needs: block align >= channels × (bits / 8).
bool SamplesFitInFrame(const FrameLayout& layout);

// The ways resampled frames can be computed. Every way gives the same
// bytes; the wider ones exist only in builds with their kernels
// (speed/kernels/) and where the processor has them.
enum class VectorPath {
  kPortable,  // plain C++, on every architecture
  kAvx2,      // x86-64 with AVX2
  kAvx512,    // x86-64 with AVX-512 F, BW, DQ and VL
};

// The fastest way this processor offers.
VectorPath FastestVectorPath();

// Whether this processor can take `path`.
bool CanUseVectorPath(VectorPath path);

// Which input frame each output frame of a shrunk block is: frame i
// × speed / 100. The same for every block at one speed, so computed once.
class FramePicks {
 public:
  // The picks of a full block at `speed` (above 100). False when the memory
  // cannot be had.
  bool Compute(std::int32_t speed);

  std::int32_t speed() const { return speed_; }
  const std::uint32_t* frames() const { return frames_.get(); }

 private:
  std::unique_ptr<std::uint32_t[]> frames_;
  std::int32_t speed_ = 0;
};

// Speed above 100: output frames [first, end) of a block, written from
// `output` on; whole frames, any layout.
void ShrinkFrames(const std::uint8_t* input, std::uint32_t frames, std::uint32_t blockAlign,
                  const FramePicks& picks, std::uint32_t first, std::uint32_t end,
                  std::uint8_t* output, VectorPath path = FastestVectorPath());

// Where each output frame of a stretched block lies in the input block:
// frame i lies at i × speed × 0.01, multiplied in that order. Multiplying by
// the constant 0.01 is not the same as dividing by 100; it decides the
// fraction's lowest bits. The positions are the same for every block at one
// speed, so they are computed once, and only as far as the blocks need.
class StretchPositions {
 public:
  // Room for the positions of every frame a block of `blockFrames` frames
  // yields at `speed` (1 to 99). False when the memory cannot be had.
  bool Allocate(std::int32_t speed, std::uint32_t blockFrames = kFramesPerBlock);

  // Makes sure the first `count` positions are computed; count must not
  // exceed what Allocate made room for.
  void ComputeUpTo(std::uint32_t count);

  // The input frame at or before output frame i's position.
  std::uint32_t FrameAt(std::uint32_t i) const { return frames_[i]; }
  // How far past that frame the position lies, in [0, 1).
  double FractionAt(std::uint32_t i) const { return fractions_[i]; }
  // The same fraction rounded to single precision, as the 16-bit rule uses it.
  float SingleFractionAt(std::uint32_t i) const { return singleFractions_[i]; }

  const std::uint32_t* frames() const { return frames_.get(); }
  const double* fractions() const { return fractions_.get(); }
  const float* singleFractions() const { return singleFractions_.get(); }

 private:
  std::unique_ptr<std::uint32_t[]> frames_;
  std::unique_ptr<double[]> fractions_;
  std::unique_ptr<float[]> singleFractions_;
  std::uint32_t capacity_ = 0;
  std::uint32_t computed_ = 0;
  std::int32_t speed_ = 0;
};

// Speed below 100: output frames [first, end) of a block of `frames` input
// frames, written from `output` on. Output frame i is interpolated linearly
// between the input frame at its position and the one after it (itself,
// for the block's last frame). Samples of 8, 16, 24 and 32 bits are
// computed; any other depth, and bytes of a frame past its samples, are
// written as zeros. Needs SamplesFitInFrame(layout) and the positions
// computed up to `end`.
void StretchFrames(const std::uint8_t* input, std::uint32_t frames, const FrameLayout& layout,
                   const StretchPositions& positions, std::uint32_t first, std::uint32_t end,
                   std::uint8_t* output, VectorPath path = FastestVectorPath());

}  // namespace tavrel
