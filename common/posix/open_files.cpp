// Files on POSIX systems: paths are UTF-8 bytes, and every descriptor is
// opened close-on-exec so that a host which starts programs does not leak
// our files into them.
//
// Every open is non-blocking, which makes opening a FIFO or a device
// return at once; the flag is cleared right after, so reads and writes
// wait as usual.
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

// Opens without waiting, then makes the descriptor blocking again; -1 on
// failure. O_NOCTTY: a terminal never becomes the host's controlling one.
int OpenWithoutWaiting(const std::string& path, int flags) {
  const int descriptor = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return -1;
  }
  const int current = ::fcntl(descriptor, F_GETFL);
  if (current < 0 || ::fcntl(descriptor, F_SETFL, current & ~O_NONBLOCK) != 0) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
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
  const int descriptor = OpenWithoutWaiting(*narrow, O_RDONLY);
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
  // to be the one that must be kept. An empty one is left as it is: ext4
  // takes a truncation to zero for a file being replaced and then flushes
  // everything written to it when it is closed.
  const int descriptor = OpenWithoutWaiting(*narrow, O_WRONLY | O_CREAT);
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

bool CreateRegularFile(const char16_t* path, PositionedFile& file) {
  const std::optional<std::string> narrow = NarrowPath(path);
  if (!narrow) {
    return false;
  }
  // A path that already names something else is not even opened: opening
  // a device or a FIFO can have effects of its own (a reader sees an end
  // of file). The check after the open covers a path replaced meanwhile.
  struct stat status {};
  if (::stat(narrow->c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    return false;
  }
  const int descriptor = OpenWithoutWaiting(*narrow, O_WRONLY | O_CREAT);
  if (descriptor < 0) {
    return false;
  }
  // An empty file is not truncated again (see CreateFileForWriting).
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
      (status.st_size > 0 && ::ftruncate(descriptor, 0) != 0)) {
    ::close(descriptor);
    return false;
  }
  file = PositionedFile::Adopt(descriptor);
  return true;
}

}  // namespace common
