#include "write_fully.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace common::posix {

std::size_t WriteFully(int descriptor, const std::uint8_t* bytes, std::size_t size,
                       const std::uint64_t* offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written =
        offset == nullptr
            ? ::write(descriptor, bytes + done, size - done)
            : ::pwrite(descriptor, bytes + done, size - done, static_cast<off_t>(*offset + done));
    if (written > 0) {
      done += static_cast<std::size_t>(written);
    } else if (written == 0 || errno != EINTR) {
      break;
    }
  }
  return done;
}

}  // namespace common::posix
