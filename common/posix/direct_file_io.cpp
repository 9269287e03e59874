#include "direct_file_io.h"

#include <sys/stat.h>

#include "write_fully.h"

namespace common {

std::optional<std::uint64_t> RegularFileSize(std::FILE* file) {
  struct stat status {};
  if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(status.st_size);
}

bool AppendDirectly(std::FILE* file, const std::uint8_t* bytes, std::size_t size) {
  return posix::WriteFully(::fileno(file), bytes, size, nullptr) == size;
}

bool OverwriteDirectly(std::FILE* file, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size) {
  return posix::WriteFully(::fileno(file), bytes, size, &offset) == size;
}

}  // namespace common
