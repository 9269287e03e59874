#include "recording_length.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "wav_header.h"

namespace orlesk_tool {

namespace {

using wav::kHeaderSize;

// Writes a 32-bit little-endian value at `offset`.
bool WriteLe32At(int descriptor, off_t offset, std::uint32_t value) {
  std::array<std::uint8_t, 4> bytes{};
  wav::WriteLe32(bytes.data(), value);
  return ::pwrite(descriptor, bytes.data(), bytes.size(), offset) ==
         static_cast<ssize_t>(bytes.size());
}

}  // namespace

std::uint64_t LargestDataBytes(std::uint32_t frameBytes) {
  return wav::kMaxDataSize / frameBytes * frameBytes;
}

std::optional<RecordingLength> LengthOf(double seconds, std::int32_t rate, std::int32_t bits,
                                        std::string& why) {
  RecordingLength length;
  length.seconds = seconds;
  length.frameBytes = static_cast<std::uint32_t>(std::max(1, bits / 8));
  const double frames = std::round(seconds * rate);
  if (!(frames >= 1)) {
    why = "is shorter than one frame";
    return std::nullopt;
  }
  if (frames > static_cast<double>(LargestDataBytes(length.frameBytes) / length.frameBytes)) {
    why = "is longer than a WAV file's 32-bit sizes can hold at this rate and depth";
    return std::nullopt;
  }
  length.frames = static_cast<std::uint64_t>(frames);
  return length;
}

bool CutRecordingTo(const std::string& path, const RecordingLength& length) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  struct stat status {};
  const std::uint64_t wanted = kHeaderSize + length.dataBytes();
  bool done = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  if (done && static_cast<std::uint64_t>(status.st_size) > wanted) {
    done = ::ftruncate(descriptor, static_cast<off_t>(wanted)) == 0 &&
           WriteLe32At(descriptor, 4,
                       static_cast<std::uint32_t>(length.dataBytes() +
                                                  wav::kRiffSizeOverData)) &&
           WriteLe32At(descriptor, 40, static_cast<std::uint32_t>(length.dataBytes()));
  }
  return ::close(descriptor) == 0 && done;
}

}  // namespace orlesk_tool
