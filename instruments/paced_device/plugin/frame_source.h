// What the device hears: the bytes of a file from an offset (then silence,
// or the file again from the offset when it loops), or, without a file,
// frame counters: frame n carries n as a little-endian number cut to the
// frame's width. Frame n is always the same bytes, so a frame read twice
// (a rewind, an mmap area filled again) reads the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace paced_device {

class FrameSource {
 public:
  FrameSource() = default;
  ~FrameSource();
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  // Delivers the file's bytes from `offset`. 0 or -errno.
  int OpenFile(const std::string& path, std::uint64_t offset, bool loop);

  // Writes frames [first, first + count) of `frameBytes` bytes each to
  // `destination`. 0, or -errno when the file cannot be read.
  int Fill(std::uint64_t first, std::size_t count, unsigned frameBytes,
           std::uint8_t* destination) const;

 private:
  int FillFromFile(std::uint64_t position, std::size_t length, std::uint8_t* destination) const;
  // Reads up to `length` bytes at `at`; the bytes it read, or -errno.
  long ReadAt(std::uint64_t at, std::size_t length, std::uint8_t* destination) const;

  int descriptor_ = -1;
  std::uint64_t offset_ = 0;
  bool loop_ = false;
  std::uint64_t loopLength_ = 0;  // bytes from the offset to the end, when looping
};

}  // namespace paced_device
