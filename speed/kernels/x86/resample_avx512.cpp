// The AVX-512 stretch kernels: the scheme of the AVX2 ones (see there) with
// 16 lanes, so a group is 16 samples, or 16 frames of 16-bit stereo.

// g++ 12 misreads the deliberately undefined starting value inside its own
// AVX-512 intrinsics as a use of an uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include "x86_kernels.h"

namespace tavrel {

namespace {

#define TAVREL_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl")))

constexpr std::uint32_t kGroupSamples = 16;

// 16 samples of kWidth bytes from `at` as 32-bit lanes: unsigned for 8 bits,
// sign-extended otherwise.
template <unsigned kWidth>
TAVREL_AVX512 __m512i LoadSamples(const std::uint8_t* at) {
  if constexpr (kWidth == 1) {
    return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
  } else if constexpr (kWidth == 2) {
    return _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)));
  } else if constexpr (kWidth == 3) {
    // Four samples from each 12 bytes, one 128-bit lane each; each sample's
    // bytes go to the top of its lane and are shifted back down with its
    // sign.
    __m512i pieces = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
    pieces = _mm512_inserti32x4(pieces, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 12)), 1);
    pieces = _mm512_inserti32x4(pieces, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 24)), 2);
    pieces = _mm512_inserti32x4(pieces, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 36)), 3);
    const __m512i spread = _mm512_shuffle_epi8(
        pieces, _mm512_broadcast_i32x4(_mm_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9,
                                                     10, 11)));
    return _mm512_srai_epi32(spread, 8);
  } else {
    return _mm512_loadu_si512(at);
  }
}

template <unsigned kWidth>
constexpr std::size_t kLoadedBytes = kGroupSamples * kWidth + (kWidth == 3 ? 4 : 0);

// Lanes (0, 0, 1, 1, …): each stereo frame's value for both its samples.
TAVREL_AVX512 __m512i PairIndexes() {
  return _mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
}

template <unsigned kChannels>
TAVREL_AVX512 __m512i SampleIndexes(const std::uint32_t* frameAt, std::uint32_t firstFrame) {
  if constexpr (kChannels == 1) {
    return _mm512_sub_epi32(_mm512_loadu_si512(frameAt), _mm512_set1_epi32(static_cast<int>(firstFrame)));
  } else {
    const __m256i relative =
        _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(frameAt)),
                         _mm256_set1_epi32(static_cast<int>(firstFrame)));
    const __m512i doubled = _mm512_permutexvar_epi32(PairIndexes(), _mm512_castsi256_si512(relative));
    return _mm512_add_epi32(_mm512_slli_epi32(doubled, 1),
                            _mm512_setr_epi32(0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1));
  }
}

template <unsigned kChannels>
TAVREL_AVX512 __m512 SingleFractions(const float* fraction) {
  if constexpr (kChannels == 1) {
    return _mm512_loadu_ps(fraction);
  } else {
    return _mm512_permutexvar_ps(PairIndexes(), _mm512_castps256_ps512(_mm256_loadu_ps(fraction)));
  }
}

// The fractions of samples 0-7 (half 0) or 8-15 (half 1).
template <unsigned kChannels>
TAVREL_AVX512 __m512d DoubleFractions(const double* fraction, unsigned half) {
  if constexpr (kChannels == 1) {
    return _mm512_loadu_pd(fraction + 8 * half);
  } else {
    return _mm512_permutexvar_pd(_mm512_setr_epi64(0, 0, 1, 1, 2, 2, 3, 3),
                                 _mm512_castpd256_pd512(_mm256_loadu_pd(fraction + 4 * half)));
  }
}

TAVREL_AVX512 __m256i Low(__m512i lanes) { return _mm512_castsi512_si256(lanes); }
TAVREL_AVX512 __m256i High(__m512i lanes) { return _mm512_extracti64x4_epi64(lanes, 1); }
TAVREL_AVX512 __m512i Join(__m256i low, __m256i high) {
  return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// trunc(difference × f + base) in double precision, for 16 lanes in two
// halves of 8; `difference` already converted.
template <unsigned kChannels>
TAVREL_AVX512 __m512i InterpolateInDouble(__m512d lowDifference, __m512d highDifference,
                                          __m512i base, const double* fraction) {
  const __m512d lowSum = _mm512_add_pd(_mm512_mul_pd(lowDifference, DoubleFractions<kChannels>(fraction, 0)),
                                       _mm512_cvtepi32_pd(Low(base)));
  const __m512d highSum = _mm512_add_pd(_mm512_mul_pd(highDifference, DoubleFractions<kChannels>(fraction, 1)),
                                        _mm512_cvtepi32_pd(High(base)));
  return Join(_mm512_cvttpd_epi32(lowSum), _mm512_cvttpd_epi32(highSum));
}

template <unsigned kWidth, unsigned kChannels>
TAVREL_AVX512 void StretchGroup(__m512i cur, __m512i nxt, const PositionTables& positions,
                                std::uint32_t frame, std::uint8_t* out) {
  if constexpr (kWidth == 2) {
    const __m512 difference = _mm512_cvtepi32_ps(_mm512_sub_epi32(nxt, cur));
    const __m512 sum = _mm512_add_ps(
        _mm512_mul_ps(difference, SingleFractions<kChannels>(positions.singleFraction + frame)),
        _mm512_cvtepi32_ps(cur));
    // Saturating to 16 bits is the clamp. Converted in a register and then
    // stored: the converting store to memory is many times slower.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_cvtsepi32_epi16(_mm512_cvttps_epi32(sum)));
  } else if constexpr (kWidth == 4) {
    // The difference of two exact doubles is exact, as the 64-bit integer
    // difference of the portable rule is.
    const __m512i value = InterpolateInDouble<kChannels>(
        _mm512_sub_pd(_mm512_cvtepi32_pd(Low(nxt)), _mm512_cvtepi32_pd(Low(cur))),
        _mm512_sub_pd(_mm512_cvtepi32_pd(High(nxt)), _mm512_cvtepi32_pd(High(cur))), cur,
        positions.fraction + frame);
    _mm512_storeu_si512(out, value);
  } else {
    const __m512i difference = _mm512_sub_epi32(nxt, cur);
    const __m512d lowDifference = _mm512_cvtepi32_pd(Low(difference));
    const __m512d highDifference = _mm512_cvtepi32_pd(High(difference));
    if constexpr (kWidth == 1) {
      // Centred on 128 before, back after truncation; then clamped to 0-255.
      const __m512i centred = InterpolateInDouble<kChannels>(
          lowDifference, highDifference, _mm512_sub_epi32(cur, _mm512_set1_epi32(128)),
          positions.fraction + frame);
      const __m512i value = _mm512_max_epi32(_mm512_add_epi32(centred, _mm512_set1_epi32(128)),
                                             _mm512_setzero_si512());
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm512_cvtusepi32_epi8(value));
    } else {
      const __m512i value = _mm512_min_epi32(
          _mm512_max_epi32(InterpolateInDouble<kChannels>(lowDifference, highDifference, cur,
                                                          positions.fraction + frame),
                           _mm512_set1_epi32(-8388608)),
          _mm512_set1_epi32(8388607));
      // The low 3 bytes of each lane, packed into 48 bytes.
      const __m512i perLane = _mm512_shuffle_epi8(
          value, _mm512_broadcast_i32x4(
                     _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1)));
      const __m512i packed = _mm512_permutexvar_epi32(
          _mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0, 0, 0, 0), perLane);
      _mm512_mask_storeu_epi32(out, 0x0FFF, packed);
    }
  }
}

// 16-bit stereo: a lane holds a whole frame, as in the AVX2 kernel.
TAVREL_AVX512 void StretchStereo16Group(const std::uint8_t* window, const PositionTables& positions,
                                        std::uint32_t frame, std::uint8_t* out) {
  const __m512i indexes = _mm512_sub_epi32(_mm512_loadu_si512(positions.frameAt + frame),
                                           _mm512_set1_epi32(static_cast<int>(positions.frameAt[frame])));
  const __m512i cur = _mm512_permutexvar_epi32(indexes, _mm512_loadu_si512(window));
  const __m512i nxt = _mm512_permutexvar_epi32(indexes, _mm512_loadu_si512(window + 4));
  const __m512 fraction = _mm512_loadu_ps(positions.singleFraction + frame);
  auto interpolate = [&fraction](__m512i curSample, __m512i nxtSample) TAVREL_AVX512 {
    const __m512 difference = _mm512_cvtepi32_ps(_mm512_sub_epi32(nxtSample, curSample));
    return _mm512_cvttps_epi32(
        _mm512_add_ps(_mm512_mul_ps(difference, fraction), _mm512_cvtepi32_ps(curSample)));
  };
  const __m512i left = interpolate(_mm512_srai_epi32(_mm512_slli_epi32(cur, 16), 16),
                                   _mm512_srai_epi32(_mm512_slli_epi32(nxt, 16), 16));
  const __m512i right = interpolate(_mm512_srai_epi32(cur, 16), _mm512_srai_epi32(nxt, 16));
  const __m512i packed = _mm512_packs_epi32(left, right);
  const __m512i frames = _mm512_shuffle_epi8(
      packed, _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15)));
  _mm512_storeu_si512(out, frames);
}

template <unsigned kWidth, unsigned kChannels>
TAVREL_AVX512 std::uint32_t StretchDense(const std::uint8_t* input, std::uint32_t frames,
                                         const StretchPositions& positions, std::uint32_t first,
                                         std::uint32_t end, std::uint8_t* output) {
  constexpr bool kFrameLanes = kWidth == 2 && kChannels == 2;
  constexpr std::uint32_t kGroupFrames = kFrameLanes ? 16 : kGroupSamples / kChannels;
  constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kChannels;
  constexpr std::size_t kLoaded = kFrameLanes ? 16 * kFrameBytes : kLoadedBytes<kWidth>;
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
      const __m512i indexes = SampleIndexes<kChannels>(tables.frameAt + i, tables.frameAt[i]);
      const __m512i cur = _mm512_permutexvar_epi32(indexes, LoadSamples<kWidth>(window));
      const __m512i nxt = _mm512_permutexvar_epi32(indexes, LoadSamples<kWidth>(window + kFrameBytes));
      StretchGroup<kWidth, kChannels>(cur, nxt, tables, i, out);
    }
  }
  return i;
}

TAVREL_AVX512 std::uint32_t ShrinkFourByteFrames(const std::uint8_t* input, std::uint32_t frames,
                                                 const std::uint32_t* picks, std::uint32_t first,
                                                 std::uint32_t end, std::uint8_t* output) {
  std::uint32_t i = first;
  for (; end - i >= 16 && picks[i] + 32 <= frames; i += 16) {
    const std::uint8_t* window = input + std::size_t{picks[i]} * 4;
    const __m512i indexes = _mm512_sub_epi32(_mm512_loadu_si512(picks + i),
                                             _mm512_set1_epi32(static_cast<int>(picks[i])));
    _mm512_storeu_si512(output + std::size_t{i - first} * 4,
                        _mm512_permutex2var_epi32(_mm512_loadu_si512(window), indexes,
                                                  _mm512_loadu_si512(window + 64)));
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

std::uint32_t ShrinkFramesAvx512(const std::uint8_t* input, std::uint32_t frames,
                                 std::uint32_t blockAlign, const FramePicks& picks,
                                 std::uint32_t first, std::uint32_t end, std::uint8_t* output) {
  // 16 output frames come from a window of 32 input frames.
  static_assert(MaxShrinkSpeed(16) == 206);
  if (blockAlign != 4 || picks.speed() > MaxShrinkSpeed(16)) {
    return first;
  }
  return ShrinkFourByteFrames(input, frames, picks.frames(), first, end, output);
}

std::uint32_t StretchDenseFramesAvx512(const std::uint8_t* input, std::uint32_t frames,
                                       const FrameLayout& layout,
                                       const StretchPositions& positions, std::uint32_t first,
                                       std::uint32_t end, std::uint8_t* output) {
  return RunOnDenseLayout<Kernels>(layout, input, frames, positions, first, end, output);
}

}  // namespace tavrel
