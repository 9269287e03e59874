// A file written only at explicit offsets. Nothing moves or uses the
// descriptor's own file offset, which a fork() child shares with its
// parent: whatever either process does with its copy, the other's writes
// land where they should.
#pragma once

#include <cstddef>
#include <cstdint>

namespace common {

// Writes `size` bytes at `offset` of the open file `handle` (a descriptor on
// POSIX systems, a HANDLE on Windows), going on after writes that take fewer
// bytes or are interrupted. Returns how many reached the file: `size`, or
// fewer when a write failed (disk full, I/O error) after that many.
std::size_t WriteAllAt(std::intptr_t handle, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size);

class PositionedFile {
 public:
  PositionedFile() = default;
  PositionedFile(const PositionedFile&) = delete;
  PositionedFile& operator=(const PositionedFile&) = delete;
  PositionedFile(PositionedFile&& other) noexcept : handle_(other.handle_) {
    other.handle_ = kNoHandle;
  }
  PositionedFile& operator=(PositionedFile&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = kNoHandle;
    }
    return *this;
  }
  ~PositionedFile() { Close(); }

  explicit operator bool() const { return handle_ != kNoHandle; }

  // Writes `size` bytes at `offset` and returns how many reached the file:
  // `size`, or fewer when a write failed (disk full, I/O error) after
  // writing that many.
  std::size_t WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
    return WriteAllAt(handle_, offset, bytes, size);
  }

  // Cuts or extends the file to `size` bytes; false when that failed.
  bool SetSize(std::uint64_t size);

  // Closes the file; false when closing reported an error. Closing twice
  // is fine. A lock that OpenRegularFileForOneWriter took ends here, even
  // where a fork() child still holds a copy of the descriptor.
  bool Close();

  std::intptr_t handle() const { return handle_; }

  // The platform's handle (a descriptor on POSIX systems), owned from now on.
  static PositionedFile Adopt(std::intptr_t handle) {
    PositionedFile file;
    file.handle_ = handle;
    return file;
  }

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
};

}  // namespace common
