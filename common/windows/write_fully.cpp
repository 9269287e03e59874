#include "write_fully.h"

#include <algorithm>

namespace common::windows {

namespace {

// 2 GiB at a time stays well within WriteFile's 32-bit count.
constexpr std::size_t kLargestWrite = 0x80000000u;

}  // namespace

std::size_t WriteFully(HANDLE file, const std::uint8_t* bytes, std::size_t size,
                       const std::uint64_t* offset) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED position{};
    if (offset != nullptr) {
      const std::uint64_t at = *offset + done;
      position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
      position.OffsetHigh = static_cast<DWORD>(at >> 32);
    }
    const auto chunk = static_cast<DWORD>(std::min(size - done, kLargestWrite));
    DWORD written = 0;
    if (!::WriteFile(file, bytes + done, chunk, &written, offset != nullptr ? &position : nullptr) ||
        written == 0) {
      break;
    }
    done += written;
  }
  return done;
}

}  // namespace common::windows
