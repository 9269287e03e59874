#include "similarity_search.h"

#include <algorithm>
#include <new>

namespace tavrel::tempo {

namespace {

// Products of guide values are at most 2^22, so 256 of them fit a 32-bit
// sum; a 32-bit inner sum is what lets the compiler use its widest
// multiply-add instructions.
constexpr std::size_t kProductsPerPartialSum = 256;

// Coarse peaks the fine pass looks around.
constexpr std::uint32_t kCoarsePeaks = 4;

// The coarse pass's guide, one value per decimated frame: (Σ guide values
// of frames m × factor + d, d < factor) >> shift for one lane; for two,
// their sum, or with `difference` the even lane's less the odd one's, >>
// (shift + 1). 2^shift >= factor, so the values stay within ±kGuideLimit.
template <bool kDifference>
void DecimateSides(const std::int16_t* guide, std::size_t frames, std::uint32_t factor,
                   std::uint32_t shift, std::int16_t* out) {
  for (std::size_t m = 0; m < frames; ++m, guide += 2u * factor) {
    std::int32_t sum = 0;
    for (std::uint32_t d = 0; d < factor; ++d) {
      sum += kDifference ? guide[2 * d] - guide[2 * d + 1] : guide[2 * d] + guide[2 * d + 1];
    }
    out[m] = static_cast<std::int16_t>(sum >> (shift + 1));
  }
}

void DecimateGuide(const std::int16_t* guide, std::size_t frames, std::uint32_t lanes,
                   std::uint32_t factor, std::uint32_t shift, bool difference,
                   std::int16_t* out) {
  if (lanes == 2) {
    if (difference) {
      DecimateSides<true>(guide, frames, factor, shift, out);
    } else {
      DecimateSides<false>(guide, frames, factor, shift, out);
    }
    return;
  }
  for (std::size_t m = 0; m < frames; ++m, guide += factor) {
    std::int32_t sum = 0;
    for (std::uint32_t d = 0; d < factor; ++d) {
      sum += guide[d];
    }
    out[m] = static_cast<std::int16_t>(sum >> shift);
  }
}

// Whether the two lanes of `frames` frames are more opposed than alike
// (Σ even × odd < 0): then their difference carries more than their sum.
bool SidesOppose(const std::int16_t* guide, std::size_t frames) {
  std::int64_t product = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    product += guide[2 * i] * guide[2 * i + 1];
  }
  return product < 0;
}

// sums[k] = Σ reference[i] × candidates[k × stride + i] for i < count and
// k < 4: four candidates share each reference value, so the compiler's
// multiply-add instructions do more per load than one product at a time.
void GuideDots4(const std::int16_t* reference, const std::int16_t* candidates,
                std::size_t stride, std::size_t count, std::int64_t* sums) {
  const std::int16_t* c0 = candidates;
  const std::int16_t* c1 = c0 + stride;
  const std::int16_t* c2 = c1 + stride;
  const std::int16_t* c3 = c2 + stride;
  std::int64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  for (std::size_t first = 0; first < count; first += kProductsPerPartialSum) {
    const std::size_t end = std::min(count, first + kProductsPerPartialSum);
    std::int32_t p0 = 0, p1 = 0, p2 = 0, p3 = 0;
    for (std::size_t i = first; i < end; ++i) {
      const std::int32_t r = reference[i];
      p0 += r * c0[i];
      p1 += r * c1[i];
      p2 += r * c2[i];
      p3 += r * c3[i];
    }
    s0 += p0;
    s1 += p1;
    s2 += p2;
    s3 += p3;
  }
  sums[0] = s0;
  sums[1] = s1;
  sums[2] = s2;
  sums[3] = s3;
}

// sums[k] = Σ reference[i] × candidates[k × stride + i] for k < n.
void GuideDots(const std::int16_t* reference, const std::int16_t* candidates,
               std::size_t stride, std::size_t count, std::uint32_t n, std::int64_t* sums) {
  std::uint32_t k = 0;
  for (; k + 4 <= n; k += 4) {
    GuideDots4(reference, candidates + k * stride, stride, count, sums + k);
  }
  for (; k < n; ++k) {
    sums[k] = GuideDot(reference, candidates + k * stride, count);
  }
}

// Σ x² of one frame's guide values.
std::int64_t FrameEnergy(const std::int16_t* frame, std::uint32_t lanes) {
  std::int64_t energy = 0;
  for (std::uint32_t g = 0; g < lanes; ++g) {
    energy += frame[g] * frame[g];
  }
  return energy;
}

std::uint64_t Distance(std::int64_t a, std::int64_t b) {
  return a > b ? static_cast<std::uint64_t>(a - b) : static_cast<std::uint64_t>(b - a);
}

// The best candidate so far: highest score, then nearest the nominal start,
// then the first offered.
class Winner {
 public:
  explicit Winner(std::int64_t nominal) : nominal_(nominal) {}

  void Offer(std::int64_t score, std::uint32_t start) {
    const std::uint64_t distance = Distance(start, nominal_);
    if (!any_ || score > score_ || (score == score_ && distance < distance_)) {
      any_ = true;
      score_ = score;
      distance_ = distance;
      start_ = start;
    }
  }

  std::uint32_t start() const { return start_; }

 private:
  std::int64_t nominal_;
  bool any_ = false;
  std::int64_t score_ = 0;
  std::uint64_t distance_ = 0;
  std::uint32_t start_ = 0;
};

}  // namespace

void MixGuide(const std::int32_t* samples, std::size_t frames, std::uint32_t channels,
              const TempoPlan& plan, std::int16_t* guide) {
  const std::uint32_t shift = plan.guideShift;
  // One and two channels are most sounds: loops the compiler can vectorise.
  if (channels <= 2) {
    const std::size_t count = frames * channels;
    for (std::size_t i = 0; i < count; ++i) {
      guide[i] = static_cast<std::int16_t>(samples[i] >> shift);
    }
    return;
  }
  for (std::size_t i = 0; i < frames; ++i, samples += channels, guide += 2) {
    std::int32_t even = 0;
    std::int32_t odd = 0;
    for (std::uint32_t c = 0; c + 1 < channels; c += 2) {
      even += samples[c] >> shift;
      odd += samples[c + 1] >> shift;
    }
    if (channels % 2 != 0) {
      even += samples[channels - 1] >> shift;
    }
    guide[0] = static_cast<std::int16_t>(even);
    guide[1] = static_cast<std::int16_t>(odd);
  }
}

std::int64_t GuideDot(const std::int16_t* a, const std::int16_t* b, std::size_t count) {
  std::int64_t sum = 0;
  for (std::size_t first = 0; first < count; first += kProductsPerPartialSum) {
    const std::size_t end = std::min(count, first + kProductsPerPartialSum);
    std::int32_t partial = 0;
    for (std::size_t i = first; i < end; ++i) {
      partial += a[i] * b[i];
    }
    sum += partial;
  }
  return sum;
}

bool SimilaritySearch::Allocate(const TempoPlan& plan) {
  plan_ = plan;
  coarseLength_ = plan.overlap / plan.decimation;
  coarseStarts_ = 2u * plan.search / plan.decimation + 1u;
  const std::size_t coarseFrames = coarseStarts_ - 1u + coarseLength_;
  coarseReference_.reset(new (std::nothrow) std::int16_t[coarseLength_]);
  coarseGuide_.reset(new (std::nothrow) std::int16_t[coarseFrames]);
  // The fine pass compares at most decimation + 1 starts per peak, and
  // keeps their correlations here too.
  scores_.reset(new (std::nothrow) std::int64_t[ScoreRoom()]);
  return coarseReference_ && coarseGuide_ && scores_;
}

std::size_t SimilaritySearch::reservedBytes() const {
  const std::size_t coarseFrames = coarseStarts_ - 1u + coarseLength_;
  return (coarseLength_ + coarseFrames) * sizeof(std::int16_t) +
         ScoreRoom() * sizeof(std::int64_t);
}

std::uint32_t SimilaritySearch::CoarsePeaks(std::uint32_t starts, std::int64_t nominal,
                                            std::uint32_t* peaks) const {
  const std::int64_t* scores = scores_.get();
  const std::int64_t factor = plan_.decimation;
  const auto better = [&](std::uint32_t a, std::uint32_t b) {
    return scores[a] > scores[b] ||
           (scores[a] == scores[b] && Distance(a * factor, nominal) < Distance(b * factor, nominal));
  };
  // The best local maxima, best first; a plateau counts at its last start.
  std::uint32_t found = 0;
  for (std::uint32_t i = 0; i < starts; ++i) {
    if ((i > 0 && scores[i] < scores[i - 1]) || (i + 1 < starts && scores[i] <= scores[i + 1])) {
      continue;
    }
    if (found == kCoarsePeaks && !better(i, peaks[kCoarsePeaks - 1])) {
      continue;
    }
    std::uint32_t at = found < kCoarsePeaks ? found++ : kCoarsePeaks - 1;
    for (; at > 0 && better(i, peaks[at - 1]); --at) {
      peaks[at] = peaks[at - 1];
    }
    peaks[at] = i;
  }
  return found;
}

std::uint32_t SimilaritySearch::BestStart(const std::int16_t* reference,
                                          const std::int16_t* guide, std::uint32_t starts,
                                          std::int64_t nominal) {
  const std::uint32_t lanes = plan_.guideLanes;
  const std::size_t length = std::size_t{plan_.overlap} * lanes;
  if (GuideDot(reference, reference, length) == 0) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(nominal, 0, starts - 1));
  }
  const std::uint32_t factor = plan_.decimation;

  // Coarse pass: starts 0, factor, 2 × factor, … on decimated guides of
  // one lane: the sum of a stereo sound's sides, or their difference if
  // that carries more of the reference (sides that cancel). The
  // candidate's energy slides along with it.
  std::uint32_t peaks[kCoarsePeaks] = {0};
  std::uint32_t peakCount = 1;
  if (factor > 1) {
    const std::uint32_t coarseStarts = (starts - 1) / factor + 1;
    const std::size_t coarseLength = coarseLength_;
    const std::uint32_t shift = plan_.decimationShift;
    std::int16_t* coarseReference = coarseReference_.get();
    const bool difference = lanes == 2 && SidesOppose(reference, plan_.overlap);
    DecimateGuide(reference, coarseLength, lanes, factor, shift, difference, coarseReference);
    const std::int16_t* coarse = coarseGuide_.get();
    DecimateGuide(guide, coarseStarts - 1 + coarseLength, lanes, factor, shift, difference,
                  coarseGuide_.get());
    std::int64_t* scores = scores_.get();
    GuideDots(coarseReference, coarse, 1, coarseLength, coarseStarts, scores);
    std::int64_t energy = GuideDot(coarse, coarse, coarseLength);
    for (std::uint32_t i = 0; i < coarseStarts; ++i) {
      scores[i] = 2 * scores[i] - energy;
      if (i + 1 < coarseStarts) {
        energy += coarse[i + coarseLength] * coarse[i + coarseLength] - coarse[i] * coarse[i];
      }
    }
    peakCount = CoarsePeaks(coarseStarts, nominal, peaks);
  }

  // Fine pass: every start within half a decimation step of each peak, on
  // the full guide; without decimation, every start.
  Winner winner(nominal);
  const std::uint32_t radius = factor / 2;
  for (std::uint32_t k = 0; k < peakCount; ++k) {
    const std::uint32_t centre = peaks[k] * factor;
    const std::uint32_t from = factor > 1 ? centre - std::min(centre, radius) : 0;
    const std::uint32_t to = factor > 1 ? std::min(starts - 1, centre + radius) : starts - 1;
    const std::int16_t* candidate = guide + std::size_t{from} * lanes;
    std::int64_t* correlations = scores_.get();
    GuideDots(reference, candidate, lanes, length, to - from + 1, correlations);
    std::int64_t energy = GuideDot(candidate, candidate, length);
    for (std::uint32_t start = from; start <= to; ++start, candidate += lanes) {
      winner.Offer(2 * correlations[start - from] - energy, start);
      if (start < to) {
        energy += FrameEnergy(candidate + length, lanes) - FrameEnergy(candidate, lanes);
      }
    }
  }
  return winner.start();
}

}  // namespace tavrel::tempo
