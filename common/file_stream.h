// A buffered binary stream that one owner opens and closes: closing is
// checked, so a write that only fails when the buffer is flushed is still
// reported, and an early return closes the file on its own.
#pragma once

#include <cstddef>
#include <cstdio>

namespace common {

class FileStream {
 public:
  FileStream() = default;
  explicit FileStream(std::FILE* file) : file_(file) {}
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  FileStream(FileStream&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
  FileStream& operator=(FileStream&& other) noexcept;
  ~FileStream() { Close(); }

  std::FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

  // Gives the stream a buffer of its own so that large files take few
  // system calls. Must come before the first read or write; the buffer must
  // outlive the stream. Without a buffer the stream keeps its default one.
  void UseBuffer(char* buffer, std::size_t size);

  // Flushes and closes; false when any of it failed. Closing twice is fine.
  bool Close();

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace common
