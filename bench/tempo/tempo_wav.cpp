// tempo_wav SOURCE DEST SPEED: the tempo change on a WAV file with the
// canonical 44-byte header, for the quality and speed report. A stand-in for
// the library call, so it checks only what it relies on.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "pcm_samples.h"
#include "tempo_stretcher.h"

namespace {

using tavrel::tempo::TempoStretcher;

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kFramesPerRead = 1 << 16;
constexpr std::size_t kStdioBytes = 1 << 20;

std::uint32_t Le(const std::uint8_t* at, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) {
    value |= std::uint32_t{at[i]} << (8 * i);
  }
  return value;
}

void PutLe32(std::uint8_t* at, std::uint32_t value) {
  for (unsigned i = 0; i < 4; ++i) {
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// Encodes output frames into a buffer of its own and writes it whole when
// full: writes that large skip stdio's copy.
class FileSink final : public tavrel::tempo::FrameSink {
 public:
  FileSink(std::FILE* file, std::uint32_t channels, std::uint32_t bits)
      : file_(file), channels_(channels), bits_(bits), bytes_(kStdioBytes) {}

  bool Take(const std::int32_t* samples, std::size_t frames) override {
    const std::size_t frameBytes = std::size_t{channels_} * (bits_ / 8);
    while (frames > 0) {
      if (used_ + frameBytes > bytes_.size() && !Flush()) {
        return false;
      }
      const std::size_t count = std::min(frames, (bytes_.size() - used_) / frameBytes);
      tavrel::tempo::EncodePcmSamples(samples, count * channels_, bits_, bytes_.data() + used_);
      used_ += count * frameBytes;
      samples += count * channels_;
      frames -= count;
    }
    return true;
  }

  bool Flush() {
    const bool written = std::fwrite(bytes_.data(), 1, used_, file_) == used_;
    used_ = 0;
    return written;
  }

 private:
  std::FILE* file_;
  std::uint32_t channels_;
  std::uint32_t bits_;
  std::vector<std::uint8_t> bytes_;
  std::size_t used_ = 0;
};

int Fail(const char* what) {
  std::fprintf(stderr, "tempo_wav: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    return Fail("usage: tempo_wav SOURCE DEST SPEED");
  }
  const long speed = std::strtol(argv[3], nullptr, 10);
  std::FILE* source = std::fopen(argv[1], "rb");
  if (source == nullptr) {
    return Fail("cannot open the source");
  }
  // Large stdio buffers: the report times whole processes, and the peers
  // read and write in large blocks too.
  std::vector<char> sourceBuffer(kStdioBytes);
  std::setvbuf(source, sourceBuffer.data(), _IOFBF, sourceBuffer.size());
  std::uint8_t header[kHeaderBytes];
  if (std::fread(header, 1, kHeaderBytes, source) != kHeaderBytes ||
      std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVEfmt ", 8) != 0 ||
      Le(header + 16, 4) != 16 || Le(header + 20, 2) != 1 ||
      std::memcmp(header + 36, "data", 4) != 0) {
    return Fail("the source has no canonical 44-byte PCM header");
  }
  const tavrel::tempo::TempoFormat format{Le(header + 22, 2), Le(header + 24, 4),
                                          Le(header + 34, 2)};
  const std::uint32_t frameBytes = format.channels * (format.bitsPerSample / 8);
  if (Le(header + 32, 2) != frameBytes) {
    return Fail("the source's frames hold more than their samples");
  }
  TempoStretcher stretcher;
  if (speed < 1 || speed > INT32_MAX ||
      stretcher.Configure(format, static_cast<std::int32_t>(speed)) !=
          TempoStretcher::Setup::kReady) {
    return Fail("unusable format or speed");
  }
  std::FILE* destination = std::fopen(argv[2], "wb");
  std::vector<char> destinationBuffer(kStdioBytes);
  if (destination != nullptr) {
    std::setvbuf(destination, destinationBuffer.data(), _IOFBF, destinationBuffer.size());
  }
  if (destination == nullptr || std::fwrite(header, 1, kHeaderBytes, destination) != kHeaderBytes) {
    return Fail("cannot write the destination");
  }
  FileSink sink(destination, format.channels, format.bitsPerSample);
  std::vector<std::uint8_t> bytes(kFramesPerRead * frameBytes);
  std::vector<std::int32_t> samples(kFramesPerRead * format.channels);
  std::uint64_t dataLeft = Le(header + 40, 4) / frameBytes;
  while (dataLeft > 0) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(dataLeft, kFramesPerRead));
    const std::size_t frames = std::fread(bytes.data(), frameBytes, wanted, source);
    if (frames == 0) {
      break;
    }
    dataLeft -= frames;
    tavrel::tempo::DecodePcmSamples(bytes.data(), frames * format.channels,
                                    format.bitsPerSample, samples.data());
    if (!stretcher.Push(samples.data(), frames, sink)) {
      return Fail("cannot write the destination");
    }
  }
  if (!stretcher.Finish(sink) || !sink.Flush()) {
    return Fail("cannot write the destination");
  }
  const std::uint64_t dataBytes = stretcher.outputFrames() * frameBytes;
  if (dataBytes > UINT32_MAX - 36) {
    return Fail("the result does not fit a WAV file");
  }
  PutLe32(header + 4, static_cast<std::uint32_t>(dataBytes + 36));
  PutLe32(header + 40, static_cast<std::uint32_t>(dataBytes));
  if (std::fseek(destination, 0, SEEK_SET) != 0 ||
      std::fwrite(header, 1, kHeaderBytes, destination) != kHeaderBytes ||
      std::fclose(destination) != 0) {
    return Fail("cannot write the destination");
  }
  std::fclose(source);
  return 0;
}
