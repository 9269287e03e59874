// Writes at explicit offsets through OVERLAPPED offsets on a synchronous
// handle. Windows moves the handle's file pointer as it writes, but nothing
// here reads it, and a child process never inherits the handle.
#include "positioned_file.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>

namespace common {

namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// WriteFile takes a 32-bit count; 2 GiB at a time stays well within it.
constexpr std::size_t kLargestWrite = 0x80000000u;

}  // namespace

std::size_t WriteAllAt(std::intptr_t handle, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const auto chunk = static_cast<DWORD>(std::min(size - done, kLargestWrite));
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle), bytes + done, chunk, &written, &position) ||
        written == 0) {
      break;
    }
    done += written;
  }
  return done;
}

bool PositionedFile::Close() {
  if (handle_ == kNoHandle) {
    return true;
  }
  const HANDLE handle = AsHandle(handle_);
  handle_ = kNoHandle;
  return ::CloseHandle(handle) != 0;
}

}  // namespace common
