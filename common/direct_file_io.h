// Writes that go straight to an open stream's file, around the stream's
// buffer: the speed effect gathers its output in a buffer of its own, so
// its bytes are not copied once more through the stream's. Nothing is ever
// written through the stream itself, whose buffer therefore stays empty:
// closing the stream closes the file and reports whether that failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace common {

// The length of the stream's file when it is a regular file; nothing for a
// pipe or a device, which have no length to size buffers by.
std::optional<std::uint64_t> RegularFileSize(std::FILE* file);

// Writes every byte at the file's position, or returns false.
bool AppendDirectly(std::FILE* file, const std::uint8_t* bytes, std::size_t size);

// Writes every byte from `offset` on, or returns false. Later appends
// still go to the end.
bool OverwriteDirectly(std::FILE* file, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size);

}  // namespace common
