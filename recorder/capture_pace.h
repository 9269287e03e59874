// Whether a device keeps pace with the clock. A device that delivers
// clearly fewer frames than the time since capture started calls for (its
// clock is broken, or what feeds it hands over a few frames at a time) has
// lost audio as surely as one that overran, though it never stops
// delivering for long enough to count as silent.
//
// The rule, one for every capture layer: over any stretch of the
// recording, the device must deliver at least nine tenths of the frames
// its rate calls for, give or take one second of frames. The second covers
// what the device and the capture layer hold back at any moment (a ring of
// half a second, a report of a tenth, a capture thread the scheduler kept
// waiting, a slow start); the tenth lets a device whose clock runs a
// little slow (0.98× real time) record for as long as it likes. A device
// at half speed is caught after 2.5 s, one at a tenth after 1.25 s.
#pragma once

#include <chrono>
#include <cstdint>

namespace orlesk {

class CapturePace {
 public:
  using Clock = std::chrono::steady_clock;

  CapturePace() = default;
  // Capture started at `start` at `framesPerSecond` (none: never behind).
  CapturePace(std::int64_t framesPerSecond, Clock::time_point start)
      : rate_(framesPerSecond > 0 ? framesPerSecond : 0), start_(start) {}

  // The device delivered `frames` more by `now`: a report, the last one
  // (with what the device held at the stop) included.
  void Count(std::uint64_t frames, Clock::time_point now);
  // Whether the device was clearly behind the clock at any count.
  bool FellBehind() const { return behind_; }

 private:
  // How far delivery is ahead of nine tenths of the clock at `now`, in
  // tenths of a frame. Over any stretch, a device keeping pace loses no
  // more of it than the second of frames allowed.
  std::int64_t Lead(Clock::time_point now) const;

  std::int64_t rate_ = 0;
  Clock::time_point start_{};
  std::uint64_t delivered_ = 0;
  std::int64_t bestLead_ = 0;
  bool behind_ = false;
};

}  // namespace orlesk
