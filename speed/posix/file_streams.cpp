// The destination's writes and the source's length on POSIX systems.
#include "file_streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavrel {

FileDestination::FileDestination(std::FILE* file) : descriptor_(::fileno(file)) {}

bool FileDestination::Append(const std::uint8_t* bytes, std::size_t size) {
  // A write may take fewer bytes than asked, or be interrupted by a signal
  // before taking any: both go on with the rest.
  while (size > 0) {
    const ssize_t written = ::write(descriptor_, bytes, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool FileDestination::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::pwrite(descriptor_, bytes, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

std::optional<std::uint64_t> RegularFileSize(std::FILE* file) {
  struct stat status {};
  if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(status.st_size);
}

}  // namespace tavrel
