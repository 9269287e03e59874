#include "device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace paced_device {

DeviceLock::~DeviceLock() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);  // releases the lock
  }
}

int DeviceLock::Acquire(const std::string& path) {
  descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor_ < 0) {
    return -errno;
  }
  // flock belongs to the open file description, so a second open in the
  // same process conflicts just as one in another process does.
  while (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      return -EBUSY;
    }
    if (errno != EINTR) {
      return -errno;
    }
  }
  return 0;
}

}  // namespace paced_device
