// The few facts about WAV files both commands need beside the libraries:
// the canonical header's size, how large its 32-bit sizes can get, and
// little-endian fields read and written byte by byte so the commands are
// right on any host. The commands see only the libraries' public headers,
// so they keep these lines of their own.
#pragma once

#include <cstdint>

namespace tool_support {

// The canonical header: RIFF, fmt and data chunk headers, 44 bytes.
inline constexpr std::uint64_t kWavHeaderSize = 44;
// The RIFF size is the data size + 36; both fields are 32-bit.
inline constexpr std::uint32_t kRiffSizeOverData = 36;
inline constexpr std::uint32_t kMaxWavDataSize = 0xFFFFFFFFu - kRiffSizeOverData;

inline std::uint16_t ReadLe16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline std::uint32_t ReadLe32(const std::uint8_t* bytes) {
  return std::uint32_t{ReadLe16(bytes)} | (std::uint32_t{ReadLe16(bytes + 2)} << 16);
}

inline std::uint64_t ReadLe64(const std::uint8_t* bytes) {
  return std::uint64_t{ReadLe32(bytes)} | (std::uint64_t{ReadLe32(bytes + 4)} << 32);
}

inline void WriteLe16(std::uint8_t* bytes, std::uint32_t value) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void WriteLe32(std::uint8_t* bytes, std::uint32_t value) {
  WriteLe16(bytes, value & 0xFFFFu);
  WriteLe16(bytes + 2, value >> 16);
}

}  // namespace tool_support
