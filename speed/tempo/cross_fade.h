// Blending the end of one piece into the start of the next.
//
// A linear fade over the overlap: its step per frame is the smallest a fade
// of that length can have, so the blend adds the least to any sample step,
// and for two aligned stretches (which the search finds) the weights keep
// the level. Weights are 15-bit fixed point; every result is rounded to
// nearest, halves up, except where that rounding alone would make the step
// from the sample before larger than both input steps at that place: then
// it is rounded the other way, if that makes the step smaller. A fade thus
// adds a sample step beyond the input's only where the two stretches differ
// by more than rounding, never by rounding alone. Integers throughout, so
// the bytes are the same everywhere.
#pragma once

#include <cstdint>
#include <memory>

namespace tavrel::tempo {

// 1.0 in the weights' fixed point. A difference of two 16-bit samples times
// a weight below it fits 32 bits, so such samples blend in 32-bit lanes.
inline constexpr std::uint32_t kWeightBits = 15;
inline constexpr std::uint32_t kUnitWeight = 1u << kWeightBits;

class CrossFade {
 public:
  // Weights for a fade of `frames` frames: frame j takes the incoming piece
  // at round((j + 1) × kUnitWeight / (frames + 1)), so neither end is a
  // plain copy. Frames will have `channels` samples, each within
  // `bitsPerSample` (8 to 32). False when the memory cannot be had.
  bool Allocate(std::uint32_t frames, std::uint32_t channels, std::uint32_t bitsPerSample);

  // The fade, for interleaved frames of `channels`: `outgoing` holds the
  // frame output last, then the `frames` frames that would have followed
  // it; `incoming` the piece's first `frames` frames and `incomingBefore`
  // the input frame before them (or the first one again, when there is
  // none). Each result lies between its two samples, so it never leaves
  // their range.
  void Blend(const std::int32_t* outgoing, const std::int32_t* incomingBefore,
             const std::int32_t* incoming, std::uint32_t channels,
             std::int32_t* output) const;

  std::uint32_t frames() const { return frames_; }
  std::uint32_t WeightAt(std::uint32_t frame) const { return weights_[frame]; }
  std::size_t reservedBytes(std::uint32_t channels) const {
    return frames_ * (sizeof(std::uint32_t) + std::size_t{channels});
  }

 private:
  template <typename Wide>
  void BlendIn(const std::int32_t* outgoing, const std::int32_t* incomingBefore,
               const std::int32_t* incoming, std::uint32_t channels,
               std::int32_t* output) const;

  std::uint32_t frames_ = 0;
  bool narrow_ = false;  // samples of 16 bits or fewer
  std::unique_ptr<std::uint32_t[]> weights_;
  std::unique_ptr<std::uint8_t[]> flags_;  // a step to look at again, per sample
};

}  // namespace tavrel::tempo
