// Buffers placed on cache lines. The kernel copies between a buffer and the
// file system's pages fastest when both sit at the same offset within a
// cache line, so buffers that take or give file bytes start where those
// bytes lie within a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace tavrel {

inline constexpr std::size_t kCacheLine = 64;

struct LineBuffer {
  std::unique_ptr<std::uint8_t[]> storage;  // null when the memory cannot be had
  std::uint8_t* at = nullptr;               // `offsetInLine` past a line in storage
};

// Room for `bytes` from `offsetInLine` (less than a line) past a cache line.
inline LineBuffer AllocateOnLine(std::size_t bytes, std::size_t offsetInLine = 0) {
  LineBuffer buffer;
  buffer.storage.reset(new (std::nothrow) std::uint8_t[bytes + kCacheLine + offsetInLine]);
  if (buffer.storage) {
    const auto address = reinterpret_cast<std::uintptr_t>(buffer.storage.get());
    buffer.at = buffer.storage.get() + (kCacheLine - address % kCacheLine) % kCacheLine +
                offsetInLine;
  }
  return buffer;
}

}  // namespace tavrel
