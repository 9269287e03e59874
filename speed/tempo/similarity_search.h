// Where the next piece of input should start: the place whose opening
// stretch is most like the sound the previous piece would have gone on with.
//
// The comparison runs on a guide of small integers: per frame, one value
// for a mono sound and two for any other (the even and the odd channels
// summed), each scaled into 12 bits. One offset serves every channel, so
// they stay phase-locked, yet the two sides of a stereo sound are matched
// each on its own; and products of guide values fit 32 bits. The measure is
// 2 × Σ r·x − Σ x² over the stretch (r the reference, x the candidate),
// which is largest where Σ (r − x)² is smallest: the cross-fade then blends
// the most alike samples. It needs no division, so the choice is exact
// integer arithmetic, the same on every machine.
//
// A coarse pass compares every decimation-th start on a box-filtered,
// decimated guide of one lane (for two lanes their sum, or their difference
// when the reference's sides oppose each other and would cancel); a fine
// pass then compares every start within half a decimation step of each of
// the best few coarse peaks, on the full guide. Several peaks, because for
// periodic sound the starts a period apart score alike at coarse
// resolution, yet differ in how well they line up to a fraction of a frame,
// which decides how smooth the fade is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "tempo_plan.h"

namespace tavrel::tempo {

// The guide of `frames` interleaved frames of samples within the plan's
// range: plan.guideLanes values per frame, lane g the sum of channels g,
// g + lanes, … each shifted right by the plan's guide shift. Within
// ±kGuideLimit.
void MixGuide(const std::int32_t* samples, std::size_t frames, std::uint32_t channels,
              const TempoPlan& plan, std::int16_t* guide);

// Σ a[i] × b[i] for i < count, for guide values.
std::int64_t GuideDot(const std::int16_t* a, const std::int16_t* b, std::size_t count);

class SimilaritySearch {
 public:
  // Room for the decimated guides of the widest search the plan allows
  // (2 × search + 1 starts). False when the memory cannot be had.
  bool Allocate(const TempoPlan& plan);

  // The best of `starts` candidate starts (1 to 2 × search + 1): candidate i
  // is the guide of frames [i, i + overlap), compared with the reference's
  // `overlap` frames, so `guide` holds starts - 1 + overlap frames. Of equal
  // scores the start nearest `nominal` wins, then the earlier one; a silent
  // reference takes the start nearest `nominal`.
  std::uint32_t BestStart(const std::int16_t* reference, const std::int16_t* guide,
                          std::uint32_t starts, std::int64_t nominal);

  std::size_t reservedBytes() const;

 private:
  std::size_t ScoreRoom() const {
    return std::size_t{coarseStarts_} + plan_.decimation + 1u;
  }
  std::uint32_t CoarsePeaks(std::uint32_t starts, std::int64_t nominal, std::uint32_t* peaks) const;

  TempoPlan plan_{};
  std::uint32_t coarseLength_ = 0;  // decimated values per compared stretch
  std::uint32_t coarseStarts_ = 0;  // at most
  std::unique_ptr<std::int16_t[]> coarseReference_;
  std::unique_ptr<std::int16_t[]> coarseGuide_;
  std::unique_ptr<std::int64_t[]> scores_;  // coarse scores, then fine correlations
};

}  // namespace tavrel::tempo
