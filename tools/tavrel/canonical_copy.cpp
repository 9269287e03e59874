#include "canonical_copy.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "wav_header.h"

namespace tavrel_tool {

namespace {

constexpr std::size_t kCopyBlockSize = std::size_t{1} << 18;

std::string Failure(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

using CanonicalHeader = wav::WavHeader;

// The 44-byte header of `layout`'s format with the source's own field
// values, even where they disagree with each other: the library is to see
// what a canonical file with these samples would hold.
CanonicalHeader ComposeHeader(const WavLayout& layout) {
  const WavFormat& format = layout.format;
  CanonicalHeader header{};
  std::memcpy(&header[wav::kRiffIdOffset], "RIFF", 4);
  std::memcpy(&header[wav::kFormTypeOffset], "WAVEfmt ", 8);
  wav::WriteLe32(&header[wav::kFormatSizeOffset], kPlainFormatSize);
  wav::WriteLe16(&header[wav::kAudioFormatOffset], kFormatPcm);
  wav::WriteLe16(&header[wav::kChannelsOffset], format.channels);
  wav::WriteLe32(&header[wav::kSampleRateOffset], format.sampleRate);
  wav::WriteLe32(&header[wav::kByteRateOffset], format.byteRate);
  wav::WriteLe16(&header[wav::kBlockAlignOffset], format.blockAlign);
  wav::WriteLe16(&header[wav::kBitsPerSampleOffset], format.bitsPerSample);
  std::memcpy(&header[wav::kDataIdOffset], "data", 4);
  // Sizes too large for the 32-bit fields saturate, as the library's do.
  wav::SetWavSizes(header, layout.dataSize);
  return header;
}

}  // namespace

std::optional<std::string> WriteCanonicalCopy(const std::filesystem::path& source,
                                              const WavLayout& layout, std::FILE* out) {
  const CanonicalHeader header = ComposeHeader(layout);
  if (std::fwrite(header.data(), 1, header.size(), out) != header.size()) {
    return Failure("writing the copy failed", errno);
  }
  const File in(std::fopen(source.c_str(), "rbe"));
  if (!in || ::fseeko(in.get(), static_cast<off_t>(layout.dataOffset), SEEK_SET) != 0) {
    return Failure("reading the source failed", errno);
  }
  std::vector<char> block(kCopyBlockSize);
  for (std::uint64_t left = layout.dataSize; left > 0;) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    const std::size_t got = std::fread(block.data(), 1, wanted, in.get());
    if (got != wanted) {
      return std::ferror(in.get()) != 0
                 ? Failure("reading the source failed", errno)
                 : std::string("the source ended before its 'data' chunk did");
    }
    if (std::fwrite(block.data(), 1, got, out) != got) {
      return Failure("writing the copy failed", errno);
    }
    left -= got;
  }
  if (std::fflush(out) != 0) {
    return Failure("writing the copy failed", errno);
  }
  return std::nullopt;
}

}  // namespace tavrel_tool
