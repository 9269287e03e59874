#include "wav_header.h"

#include <algorithm>
#include <cstring>

namespace wav {

std::uint16_t ReadLe16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t ReadLe32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) |
         (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint64_t ReadLe64(const std::uint8_t* bytes) {
  return std::uint64_t{ReadLe32(bytes)} | (std::uint64_t{ReadLe32(bytes + 4)} << 32);
}

void WriteLe16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteLe32(std::uint8_t* bytes, std::uint32_t value) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
  bytes[2] = static_cast<std::uint8_t>(value >> 16);
  bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

void SetWavSizes(WavHeader& header, std::uint64_t dataSize) {
  const auto stored = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(dataSize, kMaxDataSize));
  WriteLe32(&header[kDataSizeOffset], stored);
  WriteLe32(&header[kRiffSizeOffset], stored + kRiffSizeOverData);
}

namespace {

void WriteTag(WavHeader& header, std::size_t offset, const char (&tag)[5]) {
  std::memcpy(&header[offset], tag, 4);
}

// The low 32 bits, which is what the 32-bit field holds.
std::uint32_t Low32(std::int64_t value) {
  return static_cast<std::uint32_t>(value);
}

}  // namespace

WavHeader ComposeWavHeader(std::int32_t sampleRate, std::int32_t bitsPerSample,
                           std::int32_t channels) {
  WavHeader header{};
  WriteTag(header, kRiffIdOffset, "RIFF");
  WriteTag(header, kFormTypeOffset, "WAVE");
  WriteTag(header, kFormatIdOffset, "fmt ");
  WriteLe32(&header[kFormatSizeOffset], 16);
  WriteLe16(&header[kAudioFormatOffset], 1);
  WriteLe16(&header[kChannelsOffset], static_cast<std::uint16_t>(channels));
  WriteLe32(&header[kSampleRateOffset], static_cast<std::uint32_t>(sampleRate));
  const std::int64_t byteRate = std::int64_t{sampleRate} * bitsPerSample * channels / 8;
  WriteLe32(&header[kByteRateOffset], Low32(byteRate));
  const std::int64_t blockAlign = std::int64_t{bitsPerSample} * channels / 8;
  WriteLe16(&header[kBlockAlignOffset], static_cast<std::uint16_t>(blockAlign));
  WriteLe16(&header[kBitsPerSampleOffset], static_cast<std::uint16_t>(bitsPerSample));
  WriteTag(header, kDataIdOffset, "data");
  return header;
}

}  // namespace wav
