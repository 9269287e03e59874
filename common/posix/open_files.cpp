// Files on POSIX systems: paths are UTF-8 bytes, and every descriptor is
// opened close-on-exec so that a host which starts programs does not leak
// our files into them.
//
// Every open is non-blocking, which makes opening a FIFO or a device
// return at once; the flag is cleared right after, so reads and writes
// wait as usual.
#include "open_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

bool OpenRegularFileForOneWriter(const char16_t* path, PositionedFile& file, bool& created) {
  const std::optional<std::string> narrow = NarrowPath(path);
  if (!narrow) {
    return false;
  }
  // A path that already names something else is not even opened: opening
  // a device or a FIFO can have effects of its own (a reader sees a writer
  // come and go). The check after the open covers a path replaced meanwhile.
  struct stat status {};
  if (::stat(narrow->c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    return false;
  }
  // Created only when missing, so that a start that does not go ahead
  // knows whether the file is its own to remove.
  // O_EXCL follows no symbolic link: one that dangles is created through
  // as before, but its target is not counted as ours to remove.
  int descriptor = OpenWithoutWaiting(*narrow, O_WRONLY | O_CREAT | O_EXCL);
  created = descriptor >= 0;
  if (!created && errno == EEXIST) {
    descriptor = OpenWithoutWaiting(*narrow, O_WRONLY | O_CREAT);
  }
  if (descriptor < 0) {
    return false;
  }
  // flock rather than a record lock: it belongs to this open file, not to
  // the process, so a second open in this process conflicts too, and
  // closing some other descriptor of the file does not drop it. Readers
  // take no lock and are not held up.
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
      ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    ::close(descriptor);
    return false;
  }
  file = PositionedFile::Adopt(descriptor);
  return true;
}

void CloseAndRemove(const char16_t* path, PositionedFile& file) {
  // lstat: a path that has become a symbolic link names the link, which
  // is not ours to remove.
  const std::optional<std::string> narrow = NarrowPath(path);
  struct stat opened {};
  struct stat named {};
  const bool stillThere = narrow && ::fstat(static_cast<int>(file.handle()), &opened) == 0 &&
                          ::lstat(narrow->c_str(), &named) == 0 &&
                          IdentityOf(named) == IdentityOf(opened);
  file.Close();
  if (stillThere) {
    ::unlink(narrow->c_str());
  }
}

FileAtPath CheckFileAtPath(const char16_t* path, const PositionedFile& file,
                           std::uint64_t expectedSize) {
  struct stat opened {};
  if (::fstat(static_cast<int>(file.handle()), &opened) != 0) {
    return FileAtPath::kInPlace;
  }
  const std::optional<std::string> narrow = NarrowPath(path);
  struct stat named {};
  if (narrow && ::stat(narrow->c_str(), &named) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? FileAtPath::kGone : FileAtPath::kInPlace;
  }
  if (narrow && IdentityOf(named) != IdentityOf(opened)) {
    return FileAtPath::kGone;
  }
  return static_cast<std::uint64_t>(opened.st_size) < expectedSize ? FileAtPath::kShortened
                                                                   : FileAtPath::kInPlace;
}

}  // namespace common
