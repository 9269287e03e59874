// The one write loop of the POSIX layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace common::posix {

// Writes `size` bytes to `descriptor`: at its own offset when `offset` is
// null (write), at `*offset` otherwise (pwrite, which leaves the
// descriptor's offset alone). A write may take fewer bytes than asked, or be
// interrupted by a signal before taking any; both go on with the rest.
// Returns how many bytes reached the file: `size`, or fewer when a write
// failed (disk full, I/O error) after that many.
std::size_t WriteFully(int descriptor, const std::uint8_t* bytes, std::size_t size,
                       const std::uint64_t* offset);

}  // namespace common::posix
