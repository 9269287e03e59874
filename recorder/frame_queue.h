// The audio on its way from the capture thread to the file: a bounded ring
// of whole frames. The capture thread copies each report in and never
// waits for the disk; the writer thread takes the frames out and writes
// them. When the ring is full, frames are dropped, and the capture thread
// learns so from Push.
//
// One thread pushes and one thread takes. The mutex guards only the two
// counters; the bytes are copied outside it, each side in the part of the
// ring the counters give it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

namespace orlesk {

class FrameQueue {
 public:
  // Room for `capacityBytes` rounded up to whole frames of `frameBytes`.
  // The writer is woken once `wakeBytes` are waiting. Throws
  // std::bad_alloc when the ring cannot be allocated.
  FrameQueue(std::size_t capacityBytes, std::size_t frameBytes, std::size_t wakeBytes);

  // Capture thread. Copies in the whole frames of `bytes` that fit and
  // returns how many bytes that was.
  std::size_t Push(const std::uint8_t* bytes, std::size_t size);
  // Capture thread, or the owner once capture has ended: nothing more
  // comes. Wakes the writer.
  void Finish();

  // Writer thread. Waits until wakeBytes are waiting, Finish was called, or
  // `timeout` passed. Returns whether Finish had been called by then: if
  // so, everything ever pushed is in the queue.
  bool Wait(std::chrono::milliseconds timeout);
  // Writer thread. The oldest waiting bytes that lie in one piece; more may
  // follow after the ring wraps.
  std::span<const std::uint8_t> Front();
  // Writer thread. Frees the first `size` bytes of Front().
  void Pop(std::size_t size);
  // Bytes waiting, in one piece or two.
  std::size_t Waiting();

  std::size_t capacity() const { return capacity_; }

 private:
  std::size_t WaitingLocked() const { return static_cast<std::size_t>(pushed_ - popped_); }

  const std::size_t frameBytes_;
  const std::size_t capacity_;
  const std::size_t wakeBytes_;
  std::unique_ptr<std::uint8_t[]> ring_;

  std::mutex mutex_;
  std::condition_variable wake_;
  // Bytes ever pushed and popped; their difference is what waits.
  std::uint64_t pushed_ = 0;
  std::uint64_t popped_ = 0;
  bool finished_ = false;
};

}  // namespace orlesk
