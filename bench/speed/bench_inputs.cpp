#include "bench_inputs.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

namespace {

constexpr std::uint64_t kFramesPerBlock = 1024;

void PutLe(std::uint8_t* at, std::uint64_t value, std::uint32_t width) {
  for (std::uint32_t i = 0; i < width; ++i) {
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

[[noreturn]] void Fail(const std::filesystem::path& path) {
  std::perror(path.c_str());
  std::exit(1);
}

}  // namespace

void WriteSourceFile(const std::filesystem::path& path, const SampleFormat& format,
                     std::uint64_t frames) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    Fail(path);
  }
  const std::uint32_t blockAlign = format.blockAlign();
  const std::uint32_t width = format.bitsPerSample / 8u;
  const auto dataSize = static_cast<std::uint32_t>(frames * blockAlign);
  constexpr std::uint32_t kRate = 44100;
  std::uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                             'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0};
  PutLe(header + 4, dataSize + 36u, 4);
  PutLe(header + 22, format.channels, 2);
  PutLe(header + 24, kRate, 4);
  PutLe(header + 28, kRate * blockAlign, 4);
  PutLe(header + 32, blockAlign, 2);
  PutLe(header + 34, format.bitsPerSample, 2);
  header[36] = 'd';
  header[37] = 'a';
  header[38] = 't';
  header[39] = 'a';
  PutLe(header + 40, dataSize, 4);
  if (std::fwrite(header, 1, sizeof header, file) != sizeof header) {
    Fail(path);
  }
  constexpr std::uint64_t kChunkFrames = 65536;
  std::vector<std::uint8_t> chunk(kChunkFrames * blockAlign);
  for (std::uint64_t frame = 0; frame < frames;) {
    const std::uint64_t count = std::min(kChunkFrames, frames - frame);
    std::uint8_t* at = chunk.data();
    for (std::uint64_t k = 0; k < count; ++k, ++frame) {
      for (std::uint32_t c = 0; c < format.channels; ++c, at += width) {
        PutLe(at, frame * (13u + 16u * c) + 7u * c, width);
      }
    }
    if (std::fwrite(chunk.data(), blockAlign, count, file) != count) {
      Fail(path);
    }
  }
  if (std::fclose(file) != 0) {
    Fail(path);
  }
}

std::uint64_t OutputFileBytes(std::uint64_t frames, std::uint32_t blockAlign, std::int32_t speed) {
  const auto step = static_cast<std::uint64_t>(speed);
  const std::uint64_t fullBlocks = frames / kFramesPerBlock;
  const std::uint64_t lastBlock = frames % kFramesPerBlock;
  const std::uint64_t written =
      speed == 100 ? frames
                   : fullBlocks * (kFramesPerBlock * 100 / step) + lastBlock * 100 / step;
  return 44 + written * blockAlign;
}

}  // namespace bench
