// The destination's writes and the source's length on POSIX systems.
#include "file_streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavrel {

namespace {

// Calls `write(bytes, size, done)` until every byte is written: a write may
// take fewer bytes than asked, or be interrupted by a signal before taking
// any; both go on with the rest. False when a write fails.
template <typename Write>
bool WriteAll(const std::uint8_t* bytes, std::size_t size, Write write) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = write(bytes + done, size - done, done);
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

}  // namespace

FileDestination::FileDestination(std::FILE* file) : descriptor_(::fileno(file)) {}

bool FileDestination::Append(const std::uint8_t* bytes, std::size_t size) {
  return WriteAll(bytes, size, [this](const std::uint8_t* from, std::size_t count, std::size_t) {
    return ::write(descriptor_, from, count);
  });
}

bool FileDestination::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
  return WriteAll(bytes, size, [this, offset](const std::uint8_t* from, std::size_t count, std::size_t done) {
    return ::pwrite(descriptor_, from, count, static_cast<off_t>(offset + done));
  });
}

std::optional<std::uint64_t> RegularFileSize(std::FILE* file) {
  struct stat status {};
  if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(status.st_size);
}

}  // namespace tavrel
