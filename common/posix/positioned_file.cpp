// pwrite leaves the descriptor's offset alone, which is the point.
#include "positioned_file.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "write_fully.h"

namespace common {

std::size_t WriteAllAt(std::intptr_t handle, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size) {
  return posix::WriteFully(static_cast<int>(handle), bytes, size, &offset);
}

bool PositionedFile::SetSize(std::uint64_t size) {
  return ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) == 0;
}

bool PositionedFile::Close() {
  if (handle_ == kNoHandle) {
    return true;
  }
  const int descriptor = static_cast<int>(handle_);
  handle_ = kNoHandle;
  // The lock belongs to the open file, which a fork() child's copy of the
  // descriptor keeps open: released by hand, it ends with this writer.
  ::flock(descriptor, LOCK_UN);
  // After an interrupted close the descriptor is gone on Linux; trying
  // again could close one that another thread has just opened.
  return ::close(descriptor) == 0 || errno == EINTR;
}

}  // namespace common
