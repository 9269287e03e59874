#include "frame_clock.h"

#include <cmath>
#include <limits>

namespace paced_device {

namespace {

constexpr std::uint64_t kMicrosecondsPerSecond = 1000000;
constexpr std::uint64_t kMicrosecondsPerKilosecond = 1000000000;

}  // namespace

FrameClock::FrameClock(std::uint32_t rate, std::uint32_t speedThousandths)
    : framesPerKilosecond_(std::uint64_t{rate} * speedThousandths) {}

std::uint64_t FrameClock::FramesAt(std::uint64_t elapsedMicroseconds) const {
  // frames = elapsed × F / 10^9 with F = framesPerKilosecond_ (at most
  // 3.84 × 10^11). Whole seconds and the microseconds left over are
  // multiplied apart so that no product leaves 64 bits for 500 days.
  const std::uint64_t seconds = elapsedMicroseconds / kMicrosecondsPerSecond;
  const std::uint64_t microseconds = elapsedMicroseconds % kMicrosecondsPerSecond;
  const std::uint64_t perSecond = seconds * framesPerKilosecond_;  // frames × 1000
  const std::uint64_t whole = perSecond / 1000;
  const std::uint64_t rest = perSecond % 1000 * kMicrosecondsPerSecond +
                             microseconds * framesPerKilosecond_;
  return whole + rest / kMicrosecondsPerKilosecond;
}

std::uint64_t FrameClock::MomentOf(std::uint64_t frames) const {
  // An estimate in long double, then corrected against FramesAt so that the
  // two always agree: at MomentOf(n) n frames have arrived, a microsecond
  // earlier they had not.
  constexpr std::uint64_t kLatest = std::numeric_limits<std::uint64_t>::max() / 4;
  const long double estimate = std::ceil(static_cast<long double>(frames) *
                                         static_cast<long double>(kMicrosecondsPerKilosecond) /
                                         static_cast<long double>(framesPerKilosecond_));
  std::uint64_t moment = estimate >= static_cast<long double>(kLatest)
                             ? kLatest
                             : static_cast<std::uint64_t>(estimate);
  while (moment < kLatest && FramesAt(moment) < frames) {
    ++moment;
  }
  while (moment > 0 && FramesAt(moment - 1) >= frames) {
    --moment;
  }
  return moment;
}

}  // namespace paced_device
