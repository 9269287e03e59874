// pwrite leaves the descriptor's offset alone, which is the point.
#include "positioned_file.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace common {

std::size_t WriteAllAt(std::intptr_t handle, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size) {
  const int descriptor = static_cast<int>(handle);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written =
        ::pwrite(descriptor, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (written > 0) {
      done += static_cast<std::size_t>(written);
    } else if (written == 0 || errno != EINTR) {
      break;
    }
  }
  return done;
}

bool PositionedFile::Close() {
  if (handle_ == kNoHandle) {
    return true;
  }
  const int descriptor = static_cast<int>(handle_);
  handle_ = kNoHandle;
  // After an interrupted close the descriptor is gone on Linux; trying
  // again could close one that another thread has just opened.
  return ::close(descriptor) == 0 || errno == EINTR;
}

}  // namespace common
