// 64-bit FNV-1a, fed byte by byte: the same digest on every architecture
// and byte order, with no dependency.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace portability {

class Fnv1a64 {
 public:
  void Add(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
      state_ = (state_ ^ byte) * kPrime;
    }
  }
  // Integers go in as 8 little-endian bytes, so lengths and statuses are
  // part of the digest without depending on the host's byte order.
  void AddInteger(std::int64_t value) {
    std::uint8_t bytes[8];
    for (std::size_t i = 0; i < 8; ++i) {
      bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
    Add(bytes);
  }
  std::uint64_t value() const { return state_; }

 private:
  static constexpr std::uint64_t kOffsetBasis = 0xCBF29CE484222325u;
  static constexpr std::uint64_t kPrime = 0x100000001B3u;
  std::uint64_t state_ = kOffsetBasis;
};

}  // namespace portability
