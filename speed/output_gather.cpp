#include "output_gather.h"

#include <algorithm>
#include <new>

namespace tavrel {

namespace {

// The kernel copies between a buffer and the file system's pages fastest
// when both sit at the same offset within a cache line. The file's bytes
// lie 44 bytes (the header) off the lines of their pages, so each byte is
// placed in the buffer at the offset within a line that it has in the file.
constexpr std::size_t kLine = 64;

}  // namespace

bool OutputGather::Allocate(std::size_t bytes) {
  storage_.reset(new (std::nothrow) std::uint8_t[bytes + 2 * kLine]);
  if (!storage_) {
    return false;
  }
  const auto address = reinterpret_cast<std::uintptr_t>(storage_.get());
  buffer_ = storage_.get() + (kLine - address % kLine) % kLine;
  capacity_ = bytes + kLine;
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
  start_ = static_cast<std::size_t>(handedOn_ % kLine);
  filled_ = start_;
  return !failed_;
}

}  // namespace tavrel
