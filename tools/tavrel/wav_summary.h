// A one-line description of a WAV file as the speed effect sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavrel_tool {

struct WavSummary {
  std::uint32_t sampleRate;
  std::uint16_t channels;
  std::uint16_t bitsPerSample;
  std::uint64_t frames;  // whole frames after the 44-byte header
};

// Reads the header of `path`; no value when there is no header to read.
std::optional<WavSummary> SummariseWav(const std::string& path);

// "8000 Hz, 16000 frames, 2.000 s"
std::string Describe(const WavSummary& summary);

}  // namespace tavrel_tool
