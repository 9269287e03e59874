// Output frames gathered in one buffer and handed to the destination in
// large appends: the resampling writes its frames straight into the buffer,
// so every byte is copied once on its way to the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "conversion_streams.h"

namespace tavrel {

class OutputGather {
 public:
  explicit OutputGather(DestinationStream& destination) : destination_(destination) {}

  // Room for `bytes` at a time. False when the memory cannot be had.
  bool Allocate(std::size_t bytes);

  // Where the next bytes go, and how many fit there.
  std::uint8_t* Tail() { return buffer_ + filled_; }
  std::size_t Room() const { return capacity_ - filled_; }
  // Whole frames of `width` bytes that fit, at most `wanted`; when none
  // does, the buffer is handed on first. 0 only when that failed.
  std::uint32_t RoomForFrames(std::size_t width, std::uint64_t wanted);

  // The next `bytes` bytes at Tail() are output.
  void Commit(std::size_t bytes) { filled_ += bytes; }

  // Hands everything gathered to the destination; false when it failed.
  bool Flush();

  // Whether nothing has been handed on yet, and where the first byte is.
  bool HoldsAll() const { return handedOn_ == 0; }
  std::uint8_t* Front() { return buffer_; }

 private:
  DestinationStream& destination_;
  std::unique_ptr<std::uint8_t[]> storage_;
  std::uint8_t* buffer_ = nullptr;  // storage_ from its first cache line on
  std::size_t capacity_ = 0;
  std::size_t start_ = 0;   // where the bytes not yet handed on begin
  std::size_t filled_ = 0;  // where they end
  std::uint64_t handedOn_ = 0;
  bool failed_ = false;
};

}  // namespace tavrel
