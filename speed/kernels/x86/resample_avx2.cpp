// The AVX2 kernels.
//
// A group of output frames holds 8 samples (8 mono or 4 stereo frames).
// Below 100 the positions of consecutive output frames advance by less than
// one input frame each, so a group's current samples all lie among the 8
// input samples from its first frame's position, and its next samples among
// the 8 after those: two loads and two lane permutations fetch them all,
// where a gather would take a load per sample.
#include <cstring>

#include <immintrin.h>

#include "x86_kernels.h"

namespace tavrel {

namespace {

#define TAVREL_AVX2 __attribute__((target("avx2")))

constexpr std::uint32_t kGroupSamples = 8;

// 8 samples of kWidth bytes from `at` as 32-bit lanes: unsigned for 8 bits,
// sign-extended otherwise.
template <unsigned kWidth>
TAVREL_AVX2 __m256i LoadSamples(const std::uint8_t* at) {
  if constexpr (kWidth == 1) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)));
  } else if constexpr (kWidth == 2) {
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
  } else if constexpr (kWidth == 3) {
    // Samples 0-3 from the first 12 bytes, 4-7 from the next 12; each
    // sample's bytes go to the top of its lane and are shifted back down
    // with its sign.
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 12));
    const __m256i spread = _mm256_shuffle_epi8(
        _mm256_set_m128i(high, low),
        _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11,
                         -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11));
    return _mm256_srai_epi32(spread, 8);
  } else {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }
}

// Bytes a group's loads reach from its first sample: the 3-byte samples are
// loaded 16 bytes at a time, 4 bytes past the last one.
template <unsigned kWidth>
constexpr std::size_t kLoadedBytes = kGroupSamples * kWidth + (kWidth == 3 ? 4 : 0);

// Which of the 8 loaded samples each sample of the group takes: frame j's
// position minus the group's first, times the channels, plus the channel.
template <unsigned kChannels>
TAVREL_AVX2 __m256i SampleIndexes(const std::uint32_t* frameAt, std::uint32_t firstFrame) {
  if constexpr (kChannels == 1) {
    return _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(frameAt)),
                            _mm256_set1_epi32(static_cast<int>(firstFrame)));
  } else {
    const __m128i relative =
        _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(frameAt)),
                      _mm_set1_epi32(static_cast<int>(firstFrame)));
    const __m256i doubled = _mm256_permutevar8x32_epi32(
        _mm256_castsi128_si256(relative), _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
    return _mm256_add_epi32(_mm256_slli_epi32(doubled, 1),
                            _mm256_setr_epi32(0, 1, 0, 1, 0, 1, 0, 1));
  }
}

// The single-precision fraction of each sample of the group.
template <unsigned kChannels>
TAVREL_AVX2 __m256 SingleFractions(const float* fraction) {
  if constexpr (kChannels == 1) {
    return _mm256_loadu_ps(fraction);
  } else {
    return _mm256_permutevar8x32_ps(_mm256_castps128_ps256(_mm_loadu_ps(fraction)),
                                    _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
  }
}

// The double-precision fractions of samples 0-3 (half 0) or 4-7 (half 1).
template <unsigned kChannels>
TAVREL_AVX2 __m256d DoubleFractions(const double* fraction, unsigned half) {
  if constexpr (kChannels == 1) {
    return _mm256_loadu_pd(fraction + 4 * half);
  } else {
    return _mm256_permute4x64_pd(_mm256_castpd128_pd256(_mm_loadu_pd(fraction + 2 * half)),
                                 _MM_SHUFFLE(1, 1, 0, 0));
  }
}

// trunc(double(difference) × f + double(base)) for 8 lanes, in two halves
// of 4 doubles.
template <unsigned kChannels>
TAVREL_AVX2 __m256i InterpolateInDouble(__m256i difference, __m256i base, const double* fraction) {
  const __m256d lowSum = _mm256_add_pd(
      _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(difference)),
                    DoubleFractions<kChannels>(fraction, 0)),
      _mm256_cvtepi32_pd(_mm256_castsi256_si128(base)));
  const __m256d highSum = _mm256_add_pd(
      _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(difference, 1)),
                    DoubleFractions<kChannels>(fraction, 1)),
      _mm256_cvtepi32_pd(_mm256_extracti128_si256(base, 1)));
  return _mm256_set_m128i(_mm256_cvttpd_epi32(highSum), _mm256_cvttpd_epi32(lowSum));
}

// The 8 samples of one group, written as kWidth little-endian bytes each.
template <unsigned kWidth, unsigned kChannels>
TAVREL_AVX2 void StretchGroup(__m256i cur, __m256i nxt, const PositionTables& positions,
                              std::uint32_t frame, std::uint8_t* out) {
  if constexpr (kWidth == 2) {
    // Every step in single precision; saturating to 16 bits is the clamp.
    const __m256 difference = _mm256_cvtepi32_ps(_mm256_sub_epi32(nxt, cur));
    const __m256 sum = _mm256_add_ps(
        _mm256_mul_ps(difference, SingleFractions<kChannels>(positions.singleFraction + frame)),
        _mm256_cvtepi32_ps(cur));
    const __m256i packed = _mm256_packs_epi32(_mm256_cvttps_epi32(sum), _mm256_setzero_si256());
    const __m256i ordered = _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(ordered));
  } else if constexpr (kWidth == 1) {
    // Centred on 128 before, back after truncation; saturating to 0-255 is
    // the clamp.
    const __m256i centred = InterpolateInDouble<kChannels>(
        _mm256_sub_epi32(nxt, cur), _mm256_sub_epi32(cur, _mm256_set1_epi32(128)),
        positions.fraction + frame);
    const __m256i value = _mm256_add_epi32(centred, _mm256_set1_epi32(128));
    const __m256i words = _mm256_packs_epi32(value, _mm256_setzero_si256());
    const __m256i bytes = _mm256_packus_epi16(words, _mm256_setzero_si256());
    const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(ordered));
  } else if constexpr (kWidth == 3) {
    const __m256i value = _mm256_min_epi32(
        _mm256_max_epi32(InterpolateInDouble<kChannels>(_mm256_sub_epi32(nxt, cur), cur,
                                                        positions.fraction + frame),
                         _mm256_set1_epi32(-8388608)),
        _mm256_set1_epi32(8388607));
    // The low 3 bytes of each lane, 12 bytes from each half.
    const __m256i packed = _mm256_shuffle_epi8(
        value, _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const __m128i low = _mm256_castsi256_si128(packed);
    const __m128i high = _mm256_extracti128_si256(packed, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), low);
    const int lowTail = _mm_cvtsi128_si32(_mm_srli_si128(low, 8));
    std::memcpy(out + 8, &lowTail, 4);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), high);
    const int highTail = _mm_cvtsi128_si32(_mm_srli_si128(high, 8));
    std::memcpy(out + 20, &highTail, 4);
  } else {
    // The difference of two exact doubles is exact, as the 64-bit integer
    // difference of the portable rule is.
    const double* fraction = positions.fraction + frame;
    const __m128i curLow = _mm256_castsi256_si128(cur);
    const __m128i curHigh = _mm256_extracti128_si256(cur, 1);
    const __m256d lowSum = _mm256_add_pd(
        _mm256_mul_pd(_mm256_sub_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(nxt)),
                                    _mm256_cvtepi32_pd(curLow)),
                      DoubleFractions<kChannels>(fraction, 0)),
        _mm256_cvtepi32_pd(curLow));
    const __m256d highSum = _mm256_add_pd(
        _mm256_mul_pd(_mm256_sub_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(nxt, 1)),
                                    _mm256_cvtepi32_pd(curHigh)),
                      DoubleFractions<kChannels>(fraction, 1)),
        _mm256_cvtepi32_pd(curHigh));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                        _mm256_set_m128i(_mm256_cvttpd_epi32(highSum), _mm256_cvttpd_epi32(lowSum)));
  }
}

// 16-bit stereo frames are 32 bits wide: a lane holds a whole frame, so a
// group is 8 frames (16 samples) fetched with one permutation per window,
// each frame's fraction serving both its samples.
TAVREL_AVX2 void StretchStereo16Group(const std::uint8_t* window, const PositionTables& positions,
                                      std::uint32_t frame, std::uint8_t* out) {
  const std::uint32_t at = positions.frameAt[frame];
  const __m256i indexes =
      _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(positions.frameAt + frame)),
                       _mm256_set1_epi32(static_cast<int>(at)));
  const __m256i cur = _mm256_permutevar8x32_epi32(
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window)), indexes);
  const __m256i nxt = _mm256_permutevar8x32_epi32(
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 4)), indexes);
  const __m256 fraction = _mm256_loadu_ps(positions.singleFraction + frame);
  auto interpolate = [&fraction](__m256i curSample, __m256i nxtSample) TAVREL_AVX2 {
    const __m256 difference = _mm256_cvtepi32_ps(_mm256_sub_epi32(nxtSample, curSample));
    return _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(difference, fraction), _mm256_cvtepi32_ps(curSample)));
  };
  const __m256i left = interpolate(_mm256_srai_epi32(_mm256_slli_epi32(cur, 16), 16),
                                   _mm256_srai_epi32(_mm256_slli_epi32(nxt, 16), 16));
  const __m256i right = interpolate(_mm256_srai_epi32(cur, 16), _mm256_srai_epi32(nxt, 16));
  // Saturating to 16 bits is the clamp; then left and right are put back
  // side by side, frame after frame.
  const __m256i packed = _mm256_packs_epi32(left, right);
  const __m256i frames = _mm256_shuffle_epi8(
      packed, _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15,
                               0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), frames);
}

template <unsigned kWidth, unsigned kChannels>
TAVREL_AVX2 std::uint32_t StretchDense(const std::uint8_t* input, std::uint32_t frames,
                                       const StretchPositions& positions, std::uint32_t first,
                                       std::uint32_t end, std::uint8_t* output) {
  constexpr bool kFrameLanes = kWidth == 2 && kChannels == 2;
  constexpr std::uint32_t kGroupFrames = kFrameLanes ? 8 : kGroupSamples / kChannels;
  constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kChannels;
  constexpr std::size_t kLoaded = kFrameLanes ? 8 * kFrameBytes : kLoadedBytes<kWidth>;
  const PositionTables tables{positions.frames(), positions.fractions(),
                              positions.singleFractions()};
  const std::int64_t limit = LastGroupPosition(frames, kFrameBytes, kLoaded);
  std::uint32_t i = first;
  for (; end - i >= kGroupFrames && tables.frameAt[i + kGroupFrames - 1] <= limit;
       i += kGroupFrames) {
    std::uint8_t* out = output + (i - first) * kFrameBytes;
    const std::uint8_t* window = input + tables.frameAt[i] * kFrameBytes;
    if constexpr (kFrameLanes) {
      StretchStereo16Group(window, tables, i, out);
    } else {
      const __m256i indexes = SampleIndexes<kChannels>(tables.frameAt + i, tables.frameAt[i]);
      const __m256i cur = _mm256_permutevar8x32_epi32(LoadSamples<kWidth>(window), indexes);
      const __m256i nxt =
          _mm256_permutevar8x32_epi32(LoadSamples<kWidth>(window + kFrameBytes), indexes);
      StretchGroup<kWidth, kChannels>(cur, nxt, tables, i, out);
    }
  }
  return i;
}

TAVREL_AVX2 std::uint32_t ShrinkFourByteFrames(const std::uint8_t* input, std::uint32_t frames,
                                               const std::uint32_t* picks, std::uint32_t first,
                                               std::uint32_t end, std::uint8_t* output) {
  std::uint32_t i = first;
  for (; end - i >= 8 && picks[i] + 16 <= frames; i += 8) {
    const std::uint8_t* window = input + std::size_t{picks[i]} * 4;
    const __m256i indexes =
        _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(picks + i)),
                         _mm256_set1_epi32(static_cast<int>(picks[i])));
    // Each half of the window permuted by the low 3 bits of the index; the
    // index's fourth bit chooses the half.
    const __m256i fromLow = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window)), indexes);
    const __m256i fromHigh = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 32)), indexes);
    const __m256i inHigh = _mm256_cmpgt_epi32(indexes, _mm256_set1_epi32(7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + std::size_t{i - first} * 4),
                        _mm256_blendv_epi8(fromLow, fromHigh, inHigh));
  }
  return i;
}

// The kernels of this file, for RunOnDenseLayout.
struct Kernels {
  template <unsigned kWidth, unsigned kChannels>
  static std::uint32_t Run(const std::uint8_t* input, std::uint32_t frames,
                           const StretchPositions& positions, std::uint32_t first,
                           std::uint32_t end, std::uint8_t* output) {
    return StretchDense<kWidth, kChannels>(input, frames, positions, first, end, output);
  }
};

}  // namespace

std::uint32_t ShrinkFramesAvx2(const std::uint8_t* input, std::uint32_t frames,
                               std::uint32_t blockAlign, const FramePicks& picks,
                               std::uint32_t first, std::uint32_t end, std::uint8_t* output) {
  // 8 output frames come from a window of 16 input frames.
  static_assert(MaxShrinkSpeed(8) == 214);
  if (blockAlign != 4 || picks.speed() > MaxShrinkSpeed(8)) {
    return first;
  }
  return ShrinkFourByteFrames(input, frames, picks.frames(), first, end, output);
}

std::uint32_t StretchDenseFramesAvx2(const std::uint8_t* input, std::uint32_t frames,
                                     const FrameLayout& layout, const StretchPositions& positions,
                                     std::uint32_t first, std::uint32_t end,
                                     std::uint8_t* output) {
  return RunOnDenseLayout<Kernels>(layout, input, frames, positions, first, end, output);
}

}  // namespace tavrel
