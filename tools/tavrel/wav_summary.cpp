#include "wav_summary.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "wav_header.h"

namespace tavrel_tool {

std::optional<WavSummary> SummariseWav(const std::string& path) {
  wav::WavHeader header{};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header.data()), header.size())) {
    return std::nullopt;
  }
  std::error_code error;
  const std::uintmax_t length = std::filesystem::file_size(path, error);
  const std::uint16_t blockAlign = wav::ReadLe16(&header[wav::kBlockAlignOffset]);
  WavSummary summary{};
  summary.sampleRate = wav::ReadLe32(&header[wav::kSampleRateOffset]);
  summary.channels = wav::ReadLe16(&header[wav::kChannelsOffset]);
  summary.bitsPerSample = wav::ReadLe16(&header[wav::kBitsPerSampleOffset]);
  summary.frames = (error || blockAlign == 0) ? 0 : (length - wav::kHeaderSize) / blockAlign;
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
