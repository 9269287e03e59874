// The destination's writes and the source's length on POSIX systems.
#include "file_streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "positioned_file.h"

namespace tavrel {

FileDestination::FileDestination(std::FILE* file) : descriptor_(::fileno(file)) {}

bool FileDestination::Append(const std::uint8_t* bytes, std::size_t size) {
  // A write may take fewer bytes than asked, or be interrupted by a signal
  // before taking any; both go on with the rest.
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = ::write(descriptor_, bytes + done, size - done);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

bool FileDestination::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
  return common::WriteAllAt(descriptor_, offset, bytes, size) == size;
}

std::optional<std::uint64_t> RegularFileSize(std::FILE* file) {
  struct stat status {};
  if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(status.st_size);
}

}  // namespace tavrel
