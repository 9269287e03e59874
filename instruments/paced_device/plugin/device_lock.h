// One open at a time, as a sound card allows: an exclusive flock on a file
// that every process using the device names. A second open, in this
// process or another, fails with -EBUSY until the first is closed.
#pragma once

#include <string>

namespace paced_device {

class DeviceLock {
 public:
  DeviceLock() = default;
  ~DeviceLock();
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

  // Creates `path` if needed and takes the lock without waiting.
  // 0, -EBUSY when another open holds it, or -errno.
  int Acquire(const std::string& path);

 private:
  int descriptor_ = -1;
};

}  // namespace paced_device
