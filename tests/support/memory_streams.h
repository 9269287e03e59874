// The speed effect's conversion streams over bytes in memory, so that the
// fuzz target and the tests run the whole conversion without touching a
// file system. Only targets that link the speed effect's core use it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "conversion_streams.h"

namespace test_support {

class MemorySource final : public tavrel::SourceStream {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Read(std::uint8_t* into, std::size_t size, std::size_t count) override {
    // Like fread: whole items, and a piece shorter than an item is consumed.
    const std::size_t available = bytes_.size() - position_;
    const std::size_t items = size == 0 ? 0 : std::min(count, available / size);
    std::memcpy(into, bytes_.data() + position_, items * size);
    position_ += items < count ? available : items * size;
    return items;
  }
  bool Failed() const override { return false; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

class MemoryDestination final : public tavrel::DestinationStream {
 public:
  bool Append(const std::uint8_t* bytes, std::size_t size) override {
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    return true;
  }
  bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) override {
    const auto end = static_cast<std::size_t>(offset + size);
    if (end > bytes_.size()) {
      bytes_.resize(end);
    }
    std::copy(bytes, bytes + size, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace test_support
