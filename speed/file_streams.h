// The two files of a speed-effect call: the source opened for reading and
// the destination created for writing, with the checks that keep a bad
// path from destroying data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include <sys/stat.h>

namespace speed {

// A buffered binary stream that is closed when it goes out of scope. Close()
// reports whether everything written reached the file.
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

struct OpenedSource {
  FileStream stream;
  struct stat identity {};  // device and inode, to recognise the same file
};

// Opens `path` for reading. Fails for a missing or unreadable file and for a
// directory.
bool OpenSourceFile(const std::string& path, OpenedSource& source);

// Creates or truncates `path` for writing, but refuses, before truncating
// anything, a path that names the source itself (through a hard or symbolic
// link too).
bool CreateDestinationFile(const std::string& path, const struct stat& source,
                           FileStream& destination);

}  // namespace speed
