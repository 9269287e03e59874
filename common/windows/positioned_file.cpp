// Writes at explicit offsets through OVERLAPPED offsets on a synchronous
// handle. Windows moves the handle's file pointer as it writes, but nothing
// here reads it, and a child process never inherits the handle.
#include "positioned_file.h"

#include "write_fully.h"

namespace common {

namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::size_t WriteAllAt(std::intptr_t handle, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size) {
  return windows::WriteFully(AsHandle(handle), bytes, size, &offset);
}

bool PositionedFile::SetSize(std::uint64_t size) {
  // Unlike SetEndOfFile, this leaves the file pointer alone.
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(AsHandle(handle_), FileEndOfFileInfo, &end, sizeof end) !=
         0;
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
