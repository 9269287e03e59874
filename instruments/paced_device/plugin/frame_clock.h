// When frames arrive: rate × speed frames per second of real time, counted
// from the start of a run. Speed is kept in thousandths, so that every
// count is exact integer arithmetic and the same on every machine.
#pragma once

#include <cstdint>

namespace paced_device {

inline constexpr std::uint32_t kMaximumRate = 384000;
inline constexpr std::uint32_t kMaximumSpeedThousandths = 1000000;  // 1000 × real time

class FrameClock {
 public:
  // rate in 1..kMaximumRate, speedThousandths in 1..kMaximumSpeedThousandths.
  FrameClock(std::uint32_t rate, std::uint32_t speedThousandths);

  // How many frames have arrived `elapsed` microseconds after the start.
  std::uint64_t FramesAt(std::uint64_t elapsedMicroseconds) const;

  // The first microsecond after the start at which `frames` have arrived.
  std::uint64_t MomentOf(std::uint64_t frames) const;

 private:
  // Frames per 1000 seconds: rate × speed in thousandths.
  std::uint64_t framesPerKilosecond_;
};

}  // namespace paced_device
