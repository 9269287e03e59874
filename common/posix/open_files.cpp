// Files on POSIX systems: paths are UTF-8 bytes, and every descriptor is
// opened close-on-exec so that a host which starts programs does not leak
// our files into them.
#include "open_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "narrow_path.h"

namespace common {

namespace {

FileIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// Wraps an open descriptor in a stream; closes the descriptor on failure.
bool AdoptDescriptor(int descriptor, const char* mode, FileStream& stream) {
  std::FILE* file = ::fdopen(descriptor, mode);
  if (file == nullptr) {
    ::close(descriptor);
    return false;
  }
  stream = FileStream(file);
  return true;
}

}  // namespace

bool OpenFileForReading(const char16_t* path, FileStream& stream, FileIdentity& identity) {
  const std::optional<std::string> narrow = NarrowPath(path);
  if (!narrow) {
    return false;
  }
  const int descriptor = ::open(narrow->c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(descriptor);
    return false;
  }
  identity = IdentityOf(status);
  return AdoptDescriptor(descriptor, "rb", stream);
}

bool CreateFileForWriting(const char16_t* path, const FileIdentity* mustNotBe, FileStream& stream) {
  const std::optional<std::string> narrow = NarrowPath(path);
  if (!narrow) {
    return false;
  }
  // Opened without O_TRUNC: the file is only emptied once it is known not
  // to be the one that must be kept.
  const int descriptor = ::open(narrow->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return false;
  }
  struct stat status {};
  const bool refused = ::fstat(descriptor, &status) != 0 ||
                       (mustNotBe != nullptr && IdentityOf(status) == *mustNotBe) ||
                       (S_ISREG(status.st_mode) && status.st_size > 0 &&
                        ::ftruncate(descriptor, 0) != 0);
  if (refused) {
    ::close(descriptor);
    return false;
  }
  return AdoptDescriptor(descriptor, "wb", stream);
}

}  // namespace common
