#include "saved_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "wav_layout.h"

namespace tavrel_tool {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 18;

SavedStream Failed(const std::string& what, int error) {
  return {SavedStream::Outcome::kFailed, what + ": " + std::strerror(error)};
}

// Opens without waiting for a FIFO's writer, then reads as usual; -1 on
// failure.
int OpenStream(const std::string& source) {
  if (source == "-") {
    return STDIN_FILENO;
  }
  const int descriptor = ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return -1;
  }
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

// Reads up to `size` bytes, fewer only at the end; -1 when reading failed.
ssize_t ReadUpTo(int descriptor, std::uint8_t* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(descriptor, bytes + done, size - done);
    if (got == 0) {
      break;
    }
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return -1;
    }
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

SavedStream Save(int descriptor, std::FILE* out) {
  std::vector<std::uint8_t> block(kBlockSize);
  // The first bytes alone decide whether the rest is worth reading: a
  // device such as /dev/zero never ends.
  ssize_t got = ReadUpTo(descriptor, block.data(), kWaveHeadSize);
  if (got >= 0) {
    if (std::optional<std::string> foreign =
            NameIfNotWave(block.data(), static_cast<std::size_t>(got))) {
      return {SavedStream::Outcome::kNotWav, *foreign};
    }
  }
  for (; got > 0; got = ReadUpTo(descriptor, block.data(), block.size())) {
    if (std::fwrite(block.data(), 1, static_cast<std::size_t>(got), out) !=
        static_cast<std::size_t>(got)) {
      return Failed("writing failed", errno);
    }
  }
  if (got < 0) {
    return Failed("reading the source failed", errno);
  }
  if (std::fflush(out) != 0) {
    return Failed("writing failed", errno);
  }
  return {SavedStream::Outcome::kSaved, {}};
}

}  // namespace

bool IsStream(const std::string& source) {
  struct stat status {};
  return source == "-" || (::stat(source.c_str(), &status) == 0 && !S_ISREG(status.st_mode) &&
                           !S_ISDIR(status.st_mode));
}

SavedStream SaveStream(const std::string& source, std::FILE* out) {
  const int descriptor = OpenStream(source);
  if (descriptor < 0) {
    return Failed("opening the source failed", errno);
  }
  const SavedStream saved = Save(descriptor, out);
  if (descriptor != STDIN_FILENO) {
    ::close(descriptor);
  }
  return saved;
}

}  // namespace tavrel_tool
