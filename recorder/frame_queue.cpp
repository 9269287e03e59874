#include "frame_queue.h"

#include <algorithm>
#include <cstring>

namespace orlesk {

FrameQueue::FrameQueue(std::size_t capacityBytes, std::size_t frameBytes, std::size_t wakeBytes)
    : frameBytes_(std::max<std::size_t>(frameBytes, 1)),
      capacity_((std::max<std::size_t>(capacityBytes, 1) + frameBytes_ - 1) / frameBytes_ *
                frameBytes_),
      wakeBytes_(std::clamp<std::size_t>(wakeBytes, 1, capacity_)),
      ring_(new std::uint8_t[capacity_]) {}

std::size_t FrameQueue::Push(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t at = 0;
  std::size_t room = 0;
  {
    const std::lock_guard lock(mutex_);
    at = pushed_;
    room = capacity_ - WaitingLocked();
  }
  const std::size_t taken = std::min(size, room) / frameBytes_ * frameBytes_;
  if (taken == 0) {
    return 0;
  }
  const auto start = static_cast<std::size_t>(at % capacity_);
  const std::size_t first = std::min(taken, capacity_ - start);
  std::memcpy(ring_.get() + start, bytes, first);
  std::memcpy(ring_.get(), bytes + first, taken - first);

  bool crossed = false;
  {
    const std::lock_guard lock(mutex_);
    const std::size_t before = WaitingLocked();
    pushed_ += taken;
    // Only the push that brings the queue to the mark wakes the writer:
    // below it the writer's own timeout is soon enough, and above it the
    // writer is awake already.
    crossed = before < wakeBytes_ && before + taken >= wakeBytes_;
  }
  if (crossed) {
    wake_.notify_one();
  }
  return taken;
}

void FrameQueue::Finish() {
  {
    const std::lock_guard lock(mutex_);
    finished_ = true;
  }
  wake_.notify_one();
}

bool FrameQueue::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, timeout, [this] { return finished_ || WaitingLocked() >= wakeBytes_; });
  return finished_;
}

std::span<const std::uint8_t> FrameQueue::Front() {
  std::uint64_t at = 0;
  std::size_t waiting = 0;
  {
    const std::lock_guard lock(mutex_);
    at = popped_;
    waiting = WaitingLocked();
  }
  const auto start = static_cast<std::size_t>(at % capacity_);
  return {ring_.get() + start, std::min(waiting, capacity_ - start)};
}

std::size_t FrameQueue::Waiting() {
  const std::lock_guard lock(mutex_);
  return WaitingLocked();
}

void FrameQueue::Pop(std::size_t size) {
  const std::lock_guard lock(mutex_);
  popped_ += std::min(size, WaitingLocked());
}

}  // namespace orlesk
