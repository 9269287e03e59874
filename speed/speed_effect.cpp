#include "speed_effect.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "file_streams.h"
#include "open_files.h"
#include "cache_lines.h"
#include "tavrel.h"
#include "tempo_conversion.h"
#include "wav_conversion.h"

namespace tavrel {

namespace {

// The source's stream buffer, no larger than the file (a voice clip of a
// few kilobytes is read with one read). Blocks are read through it, so a
// 100 MB file costs a few hundred reads of the file.
std::size_t SourceBufferBytes(std::optional<std::uint64_t> sourceBytes) {
  constexpr std::uint64_t kLargest = std::uint64_t{1} << 18;
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(sourceBytes.value_or(kLargest), 1, kLargest));
}

using Conversion = std::int32_t (*)(SourceStream&, DestinationStream&, std::int32_t,
                                    std::optional<std::uint64_t>);

// Both effects open, buffer and close their files alike: only what happens
// between the open streams differs.
std::int32_t ApplyToFiles(const char16_t* source, const char16_t* destination,
                          std::int32_t speed, Conversion convert) {
  if (speed < 1) {
    return TAVREL_ERROR_SPEED;
  }
  // Declared before the streams so that it outlives them.
  LineBuffer sourceBuffer;

  common::FileStream input;
  common::FileIdentity sourceIdentity;
  if (!common::OpenFileForReading(source, input, sourceIdentity)) {
    return TAVREL_ERROR_SOURCE;
  }
  common::FileStream output;
  if (!common::CreateFileForWriting(destination, &sourceIdentity, output)) {
    return TAVREL_ERROR_DESTINATION;
  }
  const std::optional<std::uint64_t> sourceBytes = common::RegularFileSize(input.get());
  // On a cache line, like the file's pages it is filled from: the kernel's
  // copy is fastest so.
  const std::size_t bufferBytes = SourceBufferBytes(sourceBytes);
  sourceBuffer = AllocateOnLine(bufferBytes);
  if (sourceBuffer.storage) {
    input.UseBuffer(reinterpret_cast<char*>(sourceBuffer.at), bufferBytes);
  }

  FileSource from(input.get());
  FileDestination to(output.get());
  const std::int32_t status = convert(from, to, speed, sourceBytes);
  input.Close();
  // Closing can be the first moment a file system reports that the data did
  // not fit: then the file is not complete.
  const bool closed = output.Close();
  return status == TAVREL_SUCCESS && !closed ? TAVREL_ERROR_IO : status;
}

}  // namespace

std::int32_t ApplySpeedEffect(const char16_t* source, const char16_t* destination,
                              std::int32_t speed) {
  return ApplyToFiles(source, destination, speed,
                      [](SourceStream& from, DestinationStream& to, std::int32_t percent,
                         std::optional<std::uint64_t> sourceBytes) {
                        return ConvertWav(from, to, percent, sourceBytes);
                      });
}

std::int32_t ApplyTempoEffect(const char16_t* source, const char16_t* destination,
                              std::int32_t speed) {
  return ApplyToFiles(source, destination, speed, ConvertWavTempo);
}

}  // namespace tavrel
