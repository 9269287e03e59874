// How a fuzz input for the speed effect is laid out: the speed as a 32-bit
// little-endian signed integer, then every byte of the source file. Every
// int32 is a possible speed, including 0, negatives and values whose
// products with the header's rates overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace fuzz {

inline constexpr std::size_t kSpeedBytes = 4;

struct SpeedEffectInput {
  std::int32_t speed;
  std::span<const std::uint8_t> source;
};

// Returns false when the input is too short to hold a speed.
inline bool DecodeSpeedEffectInput(std::span<const std::uint8_t> bytes, SpeedEffectInput& input) {
  if (bytes.size() < kSpeedBytes) {
    return false;
  }
  const std::uint32_t raw = static_cast<std::uint32_t>(bytes[0]) |
                            (static_cast<std::uint32_t>(bytes[1]) << 8) |
                            (static_cast<std::uint32_t>(bytes[2]) << 16) |
                            (static_cast<std::uint32_t>(bytes[3]) << 24);
  input.speed = static_cast<std::int32_t>(raw);
  input.source = bytes.subspan(kSpeedBytes);
  return true;
}

inline std::vector<std::uint8_t> EncodeSpeedEffectInput(std::int32_t speed,
                                                        std::span<const std::uint8_t> source) {
  // Appended byte by byte: g++ 12 reports false overflows for the range
  // forms of insert and copy here.
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kSpeedBytes + source.size());
  const auto raw = static_cast<std::uint32_t>(speed);
  for (std::size_t i = 0; i < kSpeedBytes; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(raw >> (8 * i)));
  }
  for (const std::uint8_t byte : source) {
    bytes.push_back(byte);
  }
  return bytes;
}

}  // namespace fuzz
