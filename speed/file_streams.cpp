#include "file_streams.h"

#include <fcntl.h>
#include <unistd.h>

namespace speed {

FileStream& FileStream::operator=(FileStream&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = other.file_;
    other.file_ = nullptr;
  }
  return *this;
}

void FileStream::UseBuffer(char* buffer, std::size_t size) {
  if (file_ != nullptr && buffer != nullptr) {
    std::setvbuf(file_, buffer, _IOFBF, size);
  }
}

bool FileStream::Close() {
  if (file_ == nullptr) {
    return true;
  }
  const bool flushed = std::fflush(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return flushed && closed;
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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

bool OpenSourceFile(const std::string& path, OpenedSource& source) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  if (::fstat(descriptor, &source.identity) != 0 || S_ISDIR(source.identity.st_mode)) {
    ::close(descriptor);
    return false;
  }
  return AdoptDescriptor(descriptor, "rb", source.stream);
}

bool CreateDestinationFile(const std::string& path, const struct stat& source,
                           FileStream& destination) {
  // Opened without O_TRUNC: the file is only emptied once it is known not
  // to be the source.
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return false;
  }
  struct stat identity {};
  const bool refused = ::fstat(descriptor, &identity) != 0 || SameFile(identity, source) ||
                       (S_ISREG(identity.st_mode) && ::ftruncate(descriptor, 0) != 0);
  if (refused) {
    ::close(descriptor);
    return false;
  }
  return AdoptDescriptor(descriptor, "wb", destination);
}

}  // namespace speed
