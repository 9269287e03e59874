// The source files the speed benchmark runs on, and what a speed makes of
// them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace bench {

struct SampleFormat {
  const char* name;
  std::uint16_t channels;
  std::uint16_t bitsPerSample;

  std::uint32_t blockAlign() const { return std::uint32_t{channels} * bitsPerSample / 8u; }
};

// A WAV file of `frames` frames in `format`: a 44-byte header, then every
// channel sweeping through its range at a pace of its own.
void WriteSourceFile(const std::filesystem::path& path, const SampleFormat& format,
                     std::uint64_t frames);

// The size of the file the speed effect writes from `frames` source frames
// of `blockAlign` bytes at `speed`: each block of 1024 frames gives
// frames × 100 / speed of its own.
std::uint64_t OutputFileBytes(std::uint64_t frames, std::uint32_t blockAlign, std::int32_t speed);

}  // namespace bench
