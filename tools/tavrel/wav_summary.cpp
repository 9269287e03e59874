#include "wav_summary.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tavrel_tool {

namespace {

constexpr std::uintmax_t kHeaderSize = 44;

std::uint32_t Le(const unsigned char* bytes, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) {
    value = (value << 8) | bytes[i];
  }
  return value;
}

}  // namespace

std::optional<WavSummary> SummariseWav(const std::string& path) {
  unsigned char header[kHeaderSize];
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) {
    return std::nullopt;
  }
  std::error_code error;
  const std::uintmax_t length = std::filesystem::file_size(path, error);
  const std::uint32_t blockAlign = Le(header + 32, 2);
  WavSummary summary{};
  summary.sampleRate = Le(header + 24, 4);
  summary.channels = static_cast<std::uint16_t>(Le(header + 22, 2));
  summary.bitsPerSample = static_cast<std::uint16_t>(Le(header + 34, 2));
  summary.frames = (error || blockAlign == 0) ? 0 : (length - kHeaderSize) / blockAlign;
  return summary;
}

std::string Describe(const WavSummary& summary) {
  const double seconds = summary.sampleRate == 0
                             ? 0.0
                             : static_cast<double>(summary.frames) / summary.sampleRate;
  char text[160];
  std::snprintf(text, sizeof text, "%u Hz, %u ch, %u bit, %llu frames, %.3f s",
                summary.sampleRate, summary.channels, summary.bitsPerSample,
                static_cast<unsigned long long>(summary.frames), seconds);
  return text;
}

}  // namespace tavrel_tool
