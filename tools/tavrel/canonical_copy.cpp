#include "canonical_copy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "wav_header.h"

namespace tavrel_tool {

namespace {

constexpr std::size_t kCopyBlockSize = std::size_t{1} << 18;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string Failure(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

wav::WavHeader CanonicalHeader(const WavLayout& layout) {
  const WavFormat& format = layout.format;
  wav::WavHeader header = wav::ComposeWavHeader(static_cast<std::int32_t>(format.sampleRate),
                                                format.bitsPerSample, format.channels);
  // The source's own values, even where they disagree with the other
  // fields: the library is to see what a canonical file with these
  // samples would hold.
  wav::WriteLe32(&header[wav::kByteRateOffset], format.byteRate);
  wav::WriteLe16(&header[wav::kBlockAlignOffset], format.blockAlign);
  wav::SetWavSizes(header, layout.dataSize);
  return header;
}

}  // namespace

std::optional<std::string> WriteCanonicalCopy(const std::filesystem::path& source,
                                              const WavLayout& layout, std::FILE* out) {
  const wav::WavHeader header = CanonicalHeader(layout);
  if (std::fwrite(header.data(), 1, header.size(), out) != header.size()) {
    return Failure("writing the copy failed", errno);
  }
  const std::unique_ptr<std::FILE, FileCloser> in(std::fopen(source.c_str(), "rbe"));
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
