// Watching the recording's file from outside, as the command waits: how
// much audio it holds, and whether someone removed, replaced or truncated
// it meanwhile, so that the command can end at once and say which.
#pragma once

#include <cstdint>
#include <string>

namespace orlesk_tool {

enum class FileFate { kInPlace, kRemoved, kReplaced, kTruncated };

class FileWatch {
 public:
  // Takes the file's identity now: call once the recording has started.
  explicit FileWatch(std::string path);

  // Looks at the file and returns the bytes of audio it holds (0 when it
  // is gone). What it finds is kept for fate().
  std::int64_t Look();
  // The first change a look found; kInPlace while none has.
  FileFate fate() const { return fate_; }

 private:
  std::string path_;
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  std::int64_t largest_ = 0;
  FileFate fate_ = FileFate::kInPlace;
};

// "removed", "replaced by another file", "truncated".
const char* DescribeFate(FileFate fate);

}  // namespace orlesk_tool
