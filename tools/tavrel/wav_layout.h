// Where a WAV file keeps its format and its samples, found by walking its
// RIFF chunks. The library itself never walks chunks: it takes the first 44
// bytes as the header and the rest as frames. The command walks them so
// that it can tell whether a file already has that layout, and where the
// samples are when it does not.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavrel_tool {

// The plain layout the library reads (wav::kHeaderSize bytes):
// a 'fmt ' chunk of this size, then 'data'.
inline constexpr std::uint32_t kPlainFormatSize = 16;

inline constexpr std::uint16_t kFormatPcm = 0x0001;
inline constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// The 'fmt ' chunk as declared.
struct WavFormat {
  std::uint32_t chunkSize;     // 16 in the 44-byte layout
  std::uint16_t formatTag;     // kFormatPcm, kFormatExtensible, 3 for float...
  std::uint16_t sampleFormat;  // the tag, or an extensible file's subformat; 0 for a subformat of
                               // no standard kind
  std::uint16_t channels;
  std::uint32_t sampleRate;
  std::uint32_t byteRate;
  std::uint16_t blockAlign;
  std::uint16_t bitsPerSample;  // for an extensible file, the container width
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
// A stream that closes itself.
using File = std::unique_ptr<std::FILE, FileCloser>;

// Chunks named in a file's description; past this many they are only counted.
inline constexpr std::size_t kNamedChunksAtMost = 8;

struct ChunkList {
  std::vector<std::string> ids;  // the first kNamedChunksAtMost, in file order
  std::size_t count = 0;
};

struct WavLayout {
  bool rf64 = false;
  WavFormat format{};
  std::uint64_t fileSize = 0;
  std::uint64_t dataOffset = 0;
  std::uint64_t dataSize = 0;     // the data chunk's bytes present in the file
  bool dataSizeUnknown = false;   // declared 0 or 0xFFFFFFFF: taken to the end of the file
  std::uint64_t dataMissing = 0;  // bytes the declared size promised past the end of the file
  ChunkList chunksBeforeData;     // other than 'fmt ' and 'ds64'
  ChunkList chunksAfterData;

  std::uint64_t BytesAfterData() const { return fileSize - dataOffset - dataSize; }
  std::uint64_t Frames() const { return format.blockAlign == 0 ? 0 : dataSize / format.blockAlign; }
};

struct WavReading {
  enum class Outcome {
    kLayout,      // a RIFF/WAVE (or RF64) file with a 'fmt ' and a 'data' chunk: see layout
    kNotWav,      // something else, or a damaged WAV file: see what
    kUnopenable,  // missing, unreadable, or not a regular file
  };
  Outcome outcome = Outcome::kUnopenable;
  WavLayout layout;
  std::string what;  // kNotWav: what the file is, e.g. "a FLAC file"
};

// Walks the chunks of a regular file; anything else is kUnopenable.
WavReading ReadWavLayout(const std::filesystem::path& path);

// "RIFF" (or "RF64", "BW64"), a size and "WAVE": the bytes that tell a
// WAV file from anything else.
inline constexpr std::size_t kWaveHeadSize = 12;

// What a file is, e.g. "a FLAC file" or "an empty file", when its first
// `size` bytes (at most kWaveHeadSize, fewer only when it is shorter) are
// not those of a RIFF/WAVE file; nothing when they are.
std::optional<std::string> NameIfNotWave(const std::uint8_t* head, std::size_t size);

// Whether the library reads the file exactly as its chunks say: the
// canonical layout, a 16-byte 'fmt ' chunk of PCM (tag 1) and a 'data' chunk
// at byte 36 that runs to the end of the file (its size field may be a
// placeholder, since the library reads to the end anyway).
bool IsCanonical(const WavLayout& layout);

}  // namespace tavrel_tool
