// The call's open files as conversion streams. The source is read through
// its buffered stream, one read per block; the destination is written
// straight from the output buffer, around its stream (see direct_file_io.h).
#pragma once

#include <cstdint>
#include <cstdio>

#include "conversion_streams.h"
#include "direct_file_io.h"

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

class FileDestination final : public DestinationStream {
 public:
  explicit FileDestination(std::FILE* file) : file_(file) {}
  bool Append(const std::uint8_t* bytes, std::size_t size) override {
    return common::AppendDirectly(file_, bytes, size);
  }
  bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) override {
    return common::OverwriteDirectly(file_, offset, bytes, size);
  }

 private:
  std::FILE* file_;
};

}  // namespace tavrel
