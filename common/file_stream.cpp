#include "file_stream.h"

namespace common {

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

}  // namespace common
