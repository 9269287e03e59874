// The two files of a call as the conversion sees them once they are open.
// The call gives it the real files; the fuzz target and the tests give it
// bytes in memory, or streams that fail on purpose.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrel {

class SourceStream {
 public:
  virtual ~SourceStream() = default;
  // Reads up to `count` items of `size` bytes into `into`, as fread does:
  // fewer only at the end of the source or when reading failed. Returns the
  // whole items read; a piece shorter than an item at the end is dropped.
  virtual std::size_t Read(std::uint8_t* into, std::size_t size, std::size_t count) = 0;
  // Whether a read failed, as opposed to reaching the end.
  virtual bool Failed() const = 0;
};

class DestinationStream {
 public:
  virtual ~DestinationStream() = default;
  // Appends every byte, or returns false.
  virtual bool Append(const std::uint8_t* bytes, std::size_t size) = 0;
  // Overwrites bytes from `offset` on, or returns false. Later appends still
  // go to the end.
  virtual bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) = 0;
};

}  // namespace tavrel
