// Little-endian fields of RIFF files, read and written byte by byte so the
// command is right on any host. The command sees only the libraries' public
// headers, so it keeps these few lines of its own.
#pragma once

#include <cstdint>

namespace tavrel_tool {

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

}  // namespace tavrel_tool
