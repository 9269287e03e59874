// The fixed 44-byte PCM WAV header that both libraries read and write.
//
// Neither library walks RIFF chunks: a file is these 44 bytes followed by
// sample frames up to its end. Every multi-byte field is little-endian and
// is read and written byte by byte, so the code is right on any host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wav {

inline constexpr std::size_t kHeaderSize = 44;

// Field offsets within the header.
inline constexpr std::size_t kRiffIdOffset = 0;
inline constexpr std::size_t kRiffSizeOffset = 4;
inline constexpr std::size_t kFormTypeOffset = 8;
inline constexpr std::size_t kFormatIdOffset = 12;
inline constexpr std::size_t kFormatSizeOffset = 16;
inline constexpr std::size_t kAudioFormatOffset = 20;
inline constexpr std::size_t kChannelsOffset = 22;
inline constexpr std::size_t kSampleRateOffset = 24;
inline constexpr std::size_t kByteRateOffset = 28;
inline constexpr std::size_t kBlockAlignOffset = 32;
inline constexpr std::size_t kBitsPerSampleOffset = 34;
inline constexpr std::size_t kDataIdOffset = 36;
inline constexpr std::size_t kDataSizeOffset = 40;

// The RIFF size counts everything after its own field: the 36 header bytes
// that follow it and the data.
inline constexpr std::uint32_t kRiffSizeOverData = 36;

// The largest data size whose RIFF size still fits 32 bits.
inline constexpr std::uint32_t kMaxDataSize = 0xFFFFFFFFu - kRiffSizeOverData;

using WavHeader = std::array<std::uint8_t, kHeaderSize>;

std::uint16_t ReadLe16(const std::uint8_t* bytes);
std::uint32_t ReadLe32(const std::uint8_t* bytes);
// RF64 and other 64-bit chunk fields.
std::uint64_t ReadLe64(const std::uint8_t* bytes);
void WriteLe16(std::uint8_t* bytes, std::uint16_t value);
void WriteLe32(std::uint8_t* bytes, std::uint32_t value);

// Writes the two size fields for a file holding `dataSize` bytes after the
// header: offset 40 = data size, offset 4 = data size + 36. A data size too
// large for the 32-bit fields saturates instead of wrapping, so a reader
// never sees a tiny size on a huge file.
void SetWavSizes(WavHeader& header, std::uint64_t dataSize);

// The canonical header of a PCM file with zero sizes. Byte rate and block
// align are rate × bits × channels / 8 and bits × channels / 8, truncated
// toward zero; they are computed in a wide type so that absurd arguments
// cannot overflow, and each field keeps the low bits of its value.
WavHeader ComposeWavHeader(std::int32_t sampleRate, std::int32_t bitsPerSample,
                           std::int32_t channels);

}  // namespace wav
