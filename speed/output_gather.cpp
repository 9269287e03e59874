#include "output_gather.h"

#include <algorithm>
#include <new>

namespace tavrel {

bool OutputGather::Allocate(std::size_t bytes) {
  buffer_.reset(new (std::nothrow) std::uint8_t[bytes]);
  capacity_ = buffer_ ? bytes : 0;
  filled_ = 0;
  return static_cast<bool>(buffer_);
}

std::uint32_t OutputGather::RoomForFrames(std::size_t width, std::uint32_t wanted) {
  if (Room() < width && !Flush()) {
    return 0;
  }
  return static_cast<std::uint32_t>(std::min<std::size_t>(wanted, Room() / width));
}

bool OutputGather::Flush() {
  // After a failed append the file's end is unknown: nothing more is added.
  failed_ = failed_ || (filled_ > 0 && !destination_.Append(buffer_.get(), filled_));
  filled_ = 0;
  return !failed_;
}

}  // namespace tavrel
