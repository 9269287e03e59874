#include "copy_baseline.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace bench {

namespace {

bool WriteRepeating(int descriptor, const std::vector<char>& chunk, std::size_t filled,
                    std::uint64_t bytes) {
  while (bytes > 0) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, filled));
    if (::write(descriptor, chunk.data(), piece) != static_cast<ssize_t>(piece)) {
      return false;
    }
    bytes -= piece;
  }
  return true;
}

}  // namespace

bool CopyLikeTheEffect(const std::filesystem::path& source, std::uint64_t sourceBytes,
                       const std::filesystem::path& destination, std::uint64_t outputBytes,
                       std::vector<char>& chunk) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool done = in >= 0 && out >= 0;
  std::uint64_t readBytes = 0;
  std::uint64_t writtenBytes = 0;
  std::size_t filled = 0;
  while (done) {
    const ssize_t got = ::read(in, chunk.data(), chunk.size());
    if (got < 0) {
      done = false;
      break;
    }
    if (got > 0) {
      filled = static_cast<std::size_t>(got);
      readBytes += filled;
    }
    // The output grows as the input is read, as it does in the effect; the
    // rest goes out at the end.
    const std::uint64_t due =
        got == 0 ? outputBytes : std::min(outputBytes, outputBytes * readBytes / sourceBytes);
    if (due > writtenBytes && filled > 0) {
      done = WriteRepeating(out, chunk, filled, due - writtenBytes);
      writtenBytes = due;
    }
    if (got == 0) {
      break;
    }
  }
  done = (in < 0 || ::close(in) == 0) && done;
  done = (out < 0 || ::close(out) == 0) && done;
  return done;
}

}  // namespace bench
