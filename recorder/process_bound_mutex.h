// A mutex that knows which process took it.
//
// fork() copies memory as it is, a held mutex included, but not the thread
// that would release it. In a child made while another thread of the
// parent was starting or stopping a recording, a plain mutex would stay
// held for ever, and the child's next start, stop or exit-time stop would
// wait for ever. This one recognises the copy and says so instead.
#pragma once

#include <atomic>
#include <cstdint>

namespace orlesk {

class ProcessBoundMutex {
 public:
  constexpr ProcessBoundMutex() = default;
  ProcessBoundMutex(const ProcessBoundMutex&) = delete;
  ProcessBoundMutex& operator=(const ProcessBoundMutex&) = delete;

  // Takes the mutex, waiting while another thread of this process holds
  // it. False, at once, when another process took it: this is a fork()
  // child's copy of a mutex that was held.
  bool Lock();
  void Unlock();

 private:
  // The holder's process id; 0 when free.
  std::atomic<std::uint32_t> holder_{0};
};

// Holds a ProcessBoundMutex for a scope, if it could be taken.
class ProcessBoundLock {
 public:
  explicit ProcessBoundLock(ProcessBoundMutex& mutex) : mutex_(mutex), held_(mutex.Lock()) {}
  ~ProcessBoundLock() {
    if (held_) {
      mutex_.Unlock();
    }
  }
  ProcessBoundLock(const ProcessBoundLock&) = delete;
  ProcessBoundLock& operator=(const ProcessBoundLock&) = delete;

  explicit operator bool() const { return held_; }

 private:
  ProcessBoundMutex& mutex_;
  bool held_;
};

}  // namespace orlesk
