// The capture stream as a sound card runs it, without ALSA: frames arrive
// on a FrameClock from the start of a run into a ring of bufferFrames; the
// application consumes them. All times are microseconds of CLOCK_MONOTONIC.
//
// - Overrun: a frame that arrives while the ring is full (arrived −
//   consumed would exceed the ring) stops the run. That frame and the whole
//   ring are lost: ringFrames + 1 frames per overrun.
// - Failure: once failAfterFrames frames have arrived since the device was
//   opened, it fails for good and nothing more arrives or can be read.
// - Wake-ups: once wakeUntilFrames frames have arrived since the device
//   was opened, its interrupts stop: frames still arrive (and overrun a
//   ring nobody reads), but nothing wakes a waiting reader, not even an
//   error. Only a reader that looks unasked finds out.
// - The source moves only while a run goes on, so frame numbers continue
//   from run to run: every source frame arrives exactly once and is either
//   read, lost to an overrun, or dropped unread (stop, reset, failure).
#pragma once

#include <cstdint>
#include <optional>

#include "frame_clock.h"
#include "paced_report.h"

namespace paced_device {

class CaptureModel {
 public:
  enum class State {
    kIdle,     // prepared, or never set up: nothing arrives
    kRunning,  // frames arrive
    kStopped,  // dropped; waits for a prepare
    kOverrun,  // the ring overflowed; waits for a prepare
    kFailed,   // for good
  };

  explicit CaptureModel(std::optional<std::uint64_t> failAfterFrames,
                        std::optional<std::uint64_t> wakeUntilFrames = std::nullopt)
      : failAfterFrames_(failAfterFrames), wakeUntilFrames_(wakeUntilFrames) {}

  // The hardware parameters; between runs only.
  void Configure(const FrameClock& clock, std::uint64_t ringFrames, std::uint64_t periodFrames);
  void SetAvailMin(std::uint64_t frames) { availMin_ = frames > 0 ? frames : 1; }

  // Starts a run; false when the device has failed.
  bool Start(std::uint64_t now);
  // Brings the run up to `now`: arrivals, overrun, failure.
  void Advance(std::uint64_t now);
  // The application took `frames` more (fewer, when negative: a rewind).
  void Consume(std::int64_t frames);
  void Stop(std::uint64_t now);
  // A reset of the running stream: the unread frames are dropped and the
  // run goes on from here.
  void Reset(std::uint64_t now);
  // A prepare: whatever the run left unread is gone, the next run starts
  // where the source stopped.
  void EndRun();

  State state() const { return state_; }
  std::uint64_t arrived() const { return arrived_; }    // in this run
  std::uint64_t consumed() const { return consumed_; }  // in this run
  std::uint64_t ringFrames() const { return ringFrames_; }
  // The source frame that the next consumed frame holds.
  std::uint64_t NextSourceFrame() const { return sourceBase_ + consumed_; }
  // Whether a poll should report the stream readable (avail_min reached)
  // and whether it should report an error (overrun, failure, stopped).
  bool Readable() const;
  bool InError() const;
  // When the next period that brings avail_min arrives (a moment in the
  // past when it has, or an error is pending); nothing when nothing will,
  // or the interrupts have stopped by then.
  std::optional<std::uint64_t> WakeMoment() const;
  // Totals since the device was opened.
  CaptureCounts Counts() const;

 private:
  std::uint64_t FailAt() const;  // run frame at which the device fails
  // Whether the interrupts have stopped by run frame `frame`.
  bool WakeupsOverAt(std::uint64_t frame) const;

  std::optional<std::uint64_t> failAfterFrames_;
  std::optional<std::uint64_t> wakeUntilFrames_;
  FrameClock clock_{1, 1000};
  std::uint64_t ringFrames_ = 1;
  std::uint64_t periodFrames_ = 1;
  std::uint64_t availMin_ = 1;

  State state_ = State::kIdle;
  std::uint64_t startMoment_ = 0;
  std::uint64_t origin_ = 0;      // clock frames before run frame 0 (a reset moves it)
  std::uint64_t sourceBase_ = 0;  // source frame of run frame 0
  std::uint64_t arrived_ = 0;
  std::uint64_t consumed_ = 0;
  std::uint64_t readBefore_ = 0;  // consumed in earlier runs
  std::uint64_t lost_ = 0;
  std::uint64_t overruns_ = 0;
};

}  // namespace paced_device
