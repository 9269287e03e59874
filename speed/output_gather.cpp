#include "output_gather.h"

#include <algorithm>

#include "cache_lines.h"

namespace tavrel {

// The file's bytes lie 44 bytes (the header) off the cache lines of their
// pages, so each byte is placed in the buffer at the offset within a line
// that it has in the file: the buffer starts on a line, and its bytes
// start where the next file byte lies in one.
bool OutputGather::Allocate(std::size_t bytes) {
  LineBuffer buffer = AllocateOnLine(bytes + kCacheLine);
  if (!buffer.storage) {
    return false;
  }
  storage_ = std::move(buffer.storage);
  buffer_ = buffer.at;
  capacity_ = bytes + kCacheLine;
  start_ = 0;
  filled_ = 0;
  handedOn_ = 0;
  return true;
}

std::uint32_t OutputGather::RoomForFrames(std::size_t width, std::uint64_t wanted) {
  if (Room() < width && !Flush()) {
    return 0;
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, Room() / width));
}

bool OutputGather::Flush() {
  const std::size_t bytes = filled_ - start_;
  // After a failed append the file's end is unknown: nothing more is added.
  failed_ = failed_ || (bytes > 0 && !destination_.Append(buffer_ + start_, bytes));
  handedOn_ += bytes;
  start_ = static_cast<std::size_t>(handedOn_ % kCacheLine);
  filled_ = start_;
  return !failed_;
}

}  // namespace tavrel
