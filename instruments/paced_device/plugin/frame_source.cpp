#include "frame_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace paced_device {

FrameSource::~FrameSource() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

int FrameSource::OpenFile(const std::string& path, std::uint64_t offset, bool loop) {
  descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor_ < 0) {
    return -errno;
  }
  offset_ = offset;
  loop_ = loop;
  if (loop) {
    // A loop needs to know where the file ends; it repeats the file as it
    // was when the device was opened.
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) {
      return -errno;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    loopLength_ = size > offset ? size - offset : 0;
  }
  return 0;
}

int FrameSource::Fill(std::uint64_t first, std::size_t count, unsigned frameBytes,
                      std::uint8_t* destination) const {
  if (descriptor_ >= 0) {
    return FillFromFile(first * frameBytes, count * frameBytes, destination);
  }
  for (std::size_t frame = 0; frame < count; ++frame) {
    const std::uint64_t number = first + frame;
    for (unsigned byte = 0; byte < frameBytes; ++byte) {
      *destination++ = static_cast<std::uint8_t>(byte < 8 ? number >> (8 * byte) : 0);
    }
  }
  return 0;
}

int FrameSource::FillFromFile(std::uint64_t position, std::size_t length,
                              std::uint8_t* destination) const {
  while (length > 0) {
    std::uint64_t at = offset_ + position;
    std::size_t wanted = length;
    if (loop_ && loopLength_ > 0) {
      at = offset_ + position % loopLength_;
      wanted = static_cast<std::size_t>(
          std::min<std::uint64_t>(length, loopLength_ - position % loopLength_));
    }
    const long got = (loop_ && loopLength_ == 0) ? 0 : ReadAt(at, wanted, destination);
    if (got < 0) {
      return static_cast<int>(got);
    }
    if (got == 0) {
      // The file has run out: silence from here on.
      std::memset(destination, 0, length);
      return 0;
    }
    const auto read = static_cast<std::size_t>(got);
    destination += read;
    position += read;
    length -= read;
  }
  return 0;
}

long FrameSource::ReadAt(std::uint64_t at, std::size_t length, std::uint8_t* destination) const {
  while (true) {
    const ssize_t got = ::pread(descriptor_, destination, length, static_cast<off_t>(at));
    if (got >= 0) {
      return static_cast<long>(got);
    }
    if (errno != EINTR) {
      return -errno;
    }
  }
}

}  // namespace paced_device
