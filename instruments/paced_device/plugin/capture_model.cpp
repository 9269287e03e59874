#include "capture_model.h"

#include <algorithm>
#include <limits>

namespace paced_device {

void CaptureModel::Configure(const FrameClock& clock, std::uint64_t ringFrames,
                             std::uint64_t periodFrames) {
  clock_ = clock;
  ringFrames_ = std::max<std::uint64_t>(ringFrames, 1);
  periodFrames_ = std::max<std::uint64_t>(periodFrames, 1);
  availMin_ = periodFrames_;
}

std::uint64_t CaptureModel::FailAt() const {
  if (!failAfterFrames_) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return *failAfterFrames_ > sourceBase_ ? *failAfterFrames_ - sourceBase_ : 0;
}

bool CaptureModel::WakeupsOverAt(std::uint64_t frame) const {
  return wakeUntilFrames_ && sourceBase_ + frame > *wakeUntilFrames_;
}

bool CaptureModel::Start(std::uint64_t now) {
  if (state_ == State::kFailed) {
    return false;
  }
  state_ = State::kRunning;
  startMoment_ = now;
  origin_ = 0;
  Advance(now);
  return true;
}

void CaptureModel::Advance(std::uint64_t now) {
  if (state_ != State::kRunning) {
    return;
  }
  const std::uint64_t elapsed = now > startMoment_ ? now - startMoment_ : 0;
  const std::uint64_t due = clock_.FramesAt(elapsed) - origin_;
  const std::uint64_t overflowAt = consumed_ + ringFrames_ + 1;
  const std::uint64_t failAt = FailAt();
  if (due >= failAt && failAt <= overflowAt) {
    arrived_ = failAt;
    state_ = State::kFailed;
  } else if (due >= overflowAt) {
    arrived_ = overflowAt;
    state_ = State::kOverrun;
    lost_ += overflowAt - consumed_;
    ++overruns_;
  } else {
    arrived_ = due;
  }
}

void CaptureModel::Consume(std::int64_t frames) {
  if (frames >= 0) {
    consumed_ = std::min(arrived_, consumed_ + static_cast<std::uint64_t>(frames));
  } else {
    const auto back = static_cast<std::uint64_t>(-(frames + 1)) + 1;
    consumed_ = back > consumed_ ? 0 : consumed_ - back;
  }
}

void CaptureModel::Stop(std::uint64_t now) {
  Advance(now);
  if (state_ == State::kRunning || state_ == State::kIdle) {
    state_ = State::kStopped;
  }
}

void CaptureModel::Reset(std::uint64_t now) {
  Advance(now);
  readBefore_ += consumed_;
  sourceBase_ += arrived_;
  origin_ += arrived_;
  arrived_ = 0;
  consumed_ = 0;
}

void CaptureModel::EndRun() {
  readBefore_ += consumed_;
  sourceBase_ += arrived_;
  arrived_ = 0;
  consumed_ = 0;
  origin_ = 0;
  if (state_ != State::kFailed) {
    state_ = State::kIdle;
  }
}

bool CaptureModel::Readable() const {
  return InError() || (state_ == State::kRunning && arrived_ - consumed_ >= availMin_);
}

bool CaptureModel::InError() const {
  return state_ == State::kStopped || state_ == State::kOverrun || state_ == State::kFailed;
}

std::optional<std::uint64_t> CaptureModel::WakeMoment() const {
  if (WakeupsOverAt(arrived_)) {
    return std::nullopt;
  }
  if (InError()) {
    return 0;
  }
  if (state_ != State::kRunning) {
    return std::nullopt;
  }
  // A sound card interrupts at period boundaries; the first one at which
  // avail_min frames are there wakes the application. An overrun or the
  // failure wakes it too, if either comes first.
  const std::uint64_t wanted = consumed_ + availMin_;
  std::uint64_t target = (wanted + periodFrames_ - 1) / periodFrames_ * periodFrames_;
  target = std::min({target, consumed_ + ringFrames_ + 1, FailAt()});
  if (WakeupsOverAt(target)) {
    return std::nullopt;
  }
  return startMoment_ + clock_.MomentOf(origin_ + target);
}

CaptureCounts CaptureModel::Counts() const {
  CaptureCounts counts;
  counts.framesArrived = sourceBase_ + arrived_;
  counts.framesRead = readBefore_ + consumed_;
  counts.framesLost = lost_;
  counts.overruns = overruns_;
  return counts;
}

}  // namespace paced_device
