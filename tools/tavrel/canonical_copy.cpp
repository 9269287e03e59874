#include "canonical_copy.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "wav_fields.h"

namespace tavrel_tool {

namespace {

constexpr std::size_t kCopyBlockSize = std::size_t{1} << 18;

std::string Failure(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

using tool_support::WriteLe16;
using tool_support::WriteLe32;
using CanonicalHeader = std::array<std::uint8_t, tool_support::kWavHeaderSize>;

// The 44-byte header of `layout`'s format with the source's own field
// values, even where they disagree with each other: the library is to see
// what a canonical file with these samples would hold.
CanonicalHeader ComposeHeader(const WavLayout& layout) {
  const WavFormat& format = layout.format;
  // Sizes too large for the 32-bit fields saturate, as the library's do.
  const auto dataSize = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(layout.dataSize, tool_support::kMaxWavDataSize));
  CanonicalHeader header{};
  std::memcpy(&header[0], "RIFF", 4);
  WriteLe32(&header[4], dataSize + tool_support::kRiffSizeOverData);
  std::memcpy(&header[8], "WAVEfmt ", 8);
  WriteLe32(&header[16], kPlainFormatSize);
  WriteLe16(&header[20], kFormatPcm);
  WriteLe16(&header[22], format.channels);
  WriteLe32(&header[24], format.sampleRate);
  WriteLe32(&header[28], format.byteRate);
  WriteLe16(&header[32], format.blockAlign);
  WriteLe16(&header[34], format.bitsPerSample);
  std::memcpy(&header[36], "data", 4);
  WriteLe32(&header[40], dataSize);
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
