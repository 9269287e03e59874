#include "tempo_plan.h"

#include <algorithm>
#include <bit>

namespace tavrel::tempo {

namespace {

// No length may ask for more than a second: longer pieces make no sense for
// the method, and the frame counts then fit comfortably in 32 bits.
constexpr std::uint32_t kLongestLengthMs = 1000;

// ceil(log2(value)) for value >= 1.
std::uint32_t CeilLog2(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::bit_width(value - 1));
}

}  // namespace

std::uint64_t TempoOutputFrames(std::uint64_t inputFrames, std::int32_t speed) {
  // inputFrames = q × speed + r, so inputFrames × 100 / speed is
  // q × 100 + r × 100 / speed, and the product never has to fit 64 bits.
  const auto step = static_cast<std::uint64_t>(speed);
  return inputFrames / step * 100u + inputFrames % step * 100u / step;
}

bool IsUsableFormat(const TempoFormat& format) {
  const std::uint32_t bits = format.bitsPerSample;
  return format.channels >= 1 && format.sampleRate >= 1 &&
         (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

TempoPlan MakeTempoPlan(const TempoFormat& format, const TempoTimings& timings) {
  const std::uint64_t rate = std::min(format.sampleRate, kLongestPlanRate);
  const auto frames = [rate](std::uint32_t ms) {
    return static_cast<std::uint32_t>(std::min(ms, kLongestLengthMs) * rate / 1000u);
  };
  TempoPlan plan{};
  plan.overlap = std::max(1u, frames(timings.overlapMs));
  plan.sequence = std::max(2u * plan.overlap, frames(timings.sequenceMs));
  plan.search = frames(timings.searchMs);
  plan.decimation =
      std::clamp(static_cast<std::uint32_t>(rate / kCoarseSearchRate), 1u, plan.overlap);
  plan.decimationShift = CeilLog2(plan.decimation);
  // A sample lies within ±2^(bits − 1), 8-bit ones centred on 0. A lane
  // sums n = ceil(channels / lanes) of them; shifted, each lies within
  // ±2^(11 − ceil(log2(n))), or their sum within ±n × 2^(bits − 1) <= ±2^11
  // when no shift is needed: the guide stays within ±kGuideLimit.
  const std::uint32_t bits = format.bitsPerSample;
  plan.sampleLowest = static_cast<std::int32_t>(-(std::int64_t{1} << (bits - 1u)));
  plan.sampleHighest = static_cast<std::int32_t>((std::int64_t{1} << (bits - 1u)) - 1);
  plan.guideLanes = format.channels == 1 ? 1u : 2u;
  const std::uint64_t perLane = (std::uint64_t{format.channels} + plan.guideLanes - 1u) / plan.guideLanes;
  const std::uint32_t sumBits = bits - 1u + CeilLog2(perLane);
  plan.guideShift = sumBits > 11u ? sumBits - 11u : 0u;
  return plan;
}

}  // namespace tavrel::tempo
