#include "file_watch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "wav_header.h"

namespace orlesk_tool {

FileWatch::FileWatch(std::string path) : path_(std::move(path)) {
  struct stat status {};
  if (::stat(path_.c_str(), &status) == 0) {
    device_ = static_cast<std::uint64_t>(status.st_dev);
    inode_ = static_cast<std::uint64_t>(status.st_ino);
    largest_ = status.st_size;
  }
}

std::int64_t FileWatch::Look() {
  struct stat status {};
  if (::stat(path_.c_str(), &status) != 0) {
    if (fate_ == FileFate::kInPlace && (errno == ENOENT || errno == ENOTDIR)) {
      fate_ = FileFate::kRemoved;
    }
    return 0;
  }
  if (fate_ == FileFate::kInPlace) {
    if (static_cast<std::uint64_t>(status.st_dev) != device_ ||
        static_cast<std::uint64_t>(status.st_ino) != inode_) {
      fate_ = FileFate::kReplaced;
    } else if (status.st_size < largest_) {
      fate_ = FileFate::kTruncated;
    }
  }
  largest_ = std::max<std::int64_t>(largest_, status.st_size);
  return std::max<std::int64_t>(0, status.st_size - static_cast<std::int64_t>(wav::kHeaderSize));
}

const char* DescribeFate(FileFate fate) {
  switch (fate) {
    case FileFate::kRemoved: return "removed";
    case FileFate::kReplaced: return "replaced by another file";
    case FileFate::kTruncated: return "truncated";
    case FileFate::kInPlace: break;
  }
  return "left in place";
}

}  // namespace orlesk_tool
