// The one write loop of the Windows layer.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace common::windows {

// Writes `size` bytes to the synchronous handle `file`: at its file pointer
// when `offset` is null, at `*offset` otherwise (through an OVERLAPPED
// offset; Windows then moves the file pointer too). WriteFile takes a
// 32-bit count and may take fewer bytes than asked; both go on with the
// rest. Returns how many bytes reached the file: `size`, or fewer when a
// write failed (disk full, I/O error) after that many.
std::size_t WriteFully(HANDLE file, const std::uint8_t* bytes, std::size_t size,
                       const std::uint64_t* offset);

}  // namespace common::windows
