// The call's open files as conversion streams. The source is read through
// its buffered stream, one read per block; the destination is written with
// the file's own calls, straight from the output buffer, so its bytes are
// not copied once more through a stream buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "conversion_streams.h"

namespace tavrel {

class FileSource final : public SourceStream {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  std::size_t Read(std::uint8_t* into, std::size_t size, std::size_t count) override {
    return std::fread(into, size, count, file_);
  }
  bool Failed() const override { return std::ferror(file_) != 0; }

 private:
  std::FILE* file_;
};

// Writes through the stream's file descriptor and never through the stream
// itself, whose buffer therefore stays empty: closing the stream closes the
// file and reports whether that failed.
class FileDestination final : public DestinationStream {
 public:
  explicit FileDestination(std::FILE* file);
  bool Append(const std::uint8_t* bytes, std::size_t size) override;
  bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) override;

 private:
  int descriptor_;
};

// The length of an open regular file; nothing for anything else (a pipe or
// a device has no length to size buffers by).
std::optional<std::uint64_t> RegularFileSize(std::FILE* file);

}  // namespace tavrel
