// A file of a unique name in a given folder that lives as long as the
// object: removed when the object goes away, and also when SIGINT, SIGTERM,
// SIGHUP or SIGPIPE ends the process first. A few exist at a time in a
// process: a saved stream, a canonical copy and the new destination.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>

namespace tavrel_tool {

class TemporaryFile {
 public:
  // Creates a hidden file ".tavrel-XXXXXX" in `folder`, open for writing.
  // Check created(); error() says why it is not.
  explicit TemporaryFile(const std::filesystem::path& folder);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool created() const { return !path_.empty(); }
  int error() const { return error_; }
  const std::filesystem::path& path() const { return path_; }
  // Open for writing until Close().
  std::FILE* stream() const { return stream_; }
  // Flushes and closes the stream; false, with errno set, when that fails.
  bool Close();
  // Gives the file up once it has been renamed: it is no longer removed.
  void Release();

 private:
  // Stops removing the file when the process ends by a signal.
  void Forget();

  std::filesystem::path path_;
  std::FILE* stream_ = nullptr;
  int error_ = 0;
  std::size_t slot_ = 0;  // in the signal handler's list
};

}  // namespace tavrel_tool
