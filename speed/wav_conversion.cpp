#include "wav_conversion.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <limits>
#include <memory>
#include <new>

#include "block_resampling.h"
#include "cache_lines.h"
#include "output_gather.h"
#include "tavrel.h"
#include "wav_header.h"

namespace tavrel {

namespace {

// Output is handed to the destination this much at a time: the file
// system's cost per write is large enough that 2 MiB writes measured
// faster than 256 KiB or 1 MiB ones.
constexpr std::size_t kGatherBytes = std::size_t{1} << 21;

using Bytes = std::unique_ptr<std::uint8_t[]>;

// A block read from the source's stream buffer is copied from a place that
// lies, within a cache line, where its frames lie in the file: 44 bytes
// (the header) past a line. Copies run at full speed only between equal
// offsets within a line, so an input block starts at that offset too.
constexpr std::size_t kFramesOffsetInLine = wav::kHeaderSize % kCacheLine;

// Room for `bytes` starting kFramesOffsetInLine past a cache line; the
// place is stored in `at`.
Bytes AllocateInputBlock(std::size_t bytes, std::uint8_t*& at) {
  LineBuffer buffer = AllocateOnLine(bytes, kFramesOffsetInLine);
  at = buffer.at;
  return std::move(buffer.storage);
}

// Multiplies the unsigned 32-bit field at `offset` by speed / 100, in 64
// bits, truncating. False when the result does not fit the field.
bool ScaleRateField(wav::WavHeader& header, std::size_t offset, std::int32_t speed) {
  const std::uint64_t scaled =
      std::uint64_t{wav::ReadLe32(&header[offset])} * static_cast<std::uint64_t>(speed) / 100;
  if (scaled > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  wav::WriteLe32(&header[offset], static_cast<std::uint32_t>(scaled));
  return true;
}

// The frames a speed makes of `frames` source frames, block by block.
std::uint64_t OutputFrames(std::uint64_t frames, std::int32_t speed) {
  const std::uint64_t fullBlocks = frames / kFramesPerBlock;
  const auto lastBlock = static_cast<std::uint32_t>(frames % kFramesPerBlock);
  return fullBlocks * ResampledFrameCount(kFramesPerBlock, speed) +
         ResampledFrameCount(lastBlock, speed);
}

// The output buffer: large enough for the header and a frame (at 100, a
// block, which is read straight into it), as large as kGatherBytes
// otherwise, but no larger than the whole output of a source of known
// length.
std::size_t GatherBytes(const FrameLayout& layout, std::int32_t speed,
                        std::optional<std::uint64_t> sourceFrames) {
  const std::size_t frame = layout.blockAlign;
  const std::size_t least = wav::kHeaderSize + frame;
  std::uint64_t wanted =
      std::max(kGatherBytes, speed == 100 ? wav::kHeaderSize + frame * kFramesPerBlock : least);
  if (sourceFrames) {
    wanted = std::min(wanted, wav::kHeaderSize + OutputFrames(*sourceFrames, speed) * frame);
  }
  return std::max(least, static_cast<std::size_t>(wanted));
}

// Frames of the source, when its length is known.
std::optional<std::uint64_t> SourceFrames(std::uint32_t blockAlign,
                                          std::optional<std::uint64_t> sourceBytes) {
  if (!sourceBytes) {
    return std::nullopt;
  }
  return *sourceBytes < wav::kHeaderSize ? 0 : (*sourceBytes - wav::kHeaderSize) / blockAlign;
}

// The work buffers of one call. A call holds at most one input block, the
// output buffer and the positions or picks of one block's output: about
// two input blocks and a few MiB whatever the header says. A source shorter
// than a block gets an input buffer its size and one frame more; should it
// have grown by the time it is read, the buffer grows to a whole block.
struct WorkBuffers {
  explicit WorkBuffers(DestinationStream& destination) : output(destination) {}

  bool Allocate(const FrameLayout& layout, std::int32_t speed,
                std::optional<std::uint64_t> sourceBytes) {
    const std::optional<std::uint64_t> frames = SourceFrames(layout.blockAlign, sourceBytes);
    blockFrames = frames ? static_cast<std::uint32_t>(std::min<std::uint64_t>(kFramesPerBlock, *frames + 1))
                         : kFramesPerBlock;
    if (speed != 100) {
      inputStorage = AllocateInputBlock(std::size_t{blockFrames} * layout.blockAlign, input);
      if (!inputStorage) {
        return false;
      }
    }
    if (speed < 100 && !positions.Allocate(speed, blockFrames)) {
      return false;
    }
    if (speed > 100 && !picks.Compute(speed)) {
      return false;
    }
    return output.Allocate(GatherBytes(layout, speed, frames));
  }

  // Makes room for a whole block, keeping the first `held` frames.
  bool GrowToWholeBlock(std::uint32_t blockAlign, std::int32_t speed, std::uint32_t held) {
    std::uint8_t* wholeInput = nullptr;
    Bytes whole = AllocateInputBlock(std::size_t{kFramesPerBlock} * blockAlign, wholeInput);
    if (!whole || (speed < 100 && !positions.Allocate(speed))) {
      return false;
    }
    std::memcpy(wholeInput, input, std::size_t{held} * blockAlign);
    inputStorage = std::move(whole);
    input = wholeInput;
    blockFrames = kFramesPerBlock;
    return true;
  }

  std::uint32_t blockFrames = kFramesPerBlock;
  Bytes inputStorage;
  std::uint8_t* input = nullptr;  // in inputStorage
  StretchPositions positions;
  FramePicks picks;
  OutputGather output;
};

// What stopped the frames before the source's end.
constexpr std::int64_t kWriteFailed = -1;
constexpr std::int64_t kOutOfMemory = -2;

// Speed 100: blocks are read straight into the output buffer, one read per
// block, and written from there with no copy of their own. Returns the
// frames copied, or kWriteFailed.
std::int64_t CopyAllFrames(SourceStream& source, OutputGather& output, std::uint32_t width) {
  std::int64_t total = 0;
  for (;;) {
    const std::uint32_t room = output.RoomForFrames(width, kFramesPerBlock);
    if (room == 0) {
      return kWriteFailed;
    }
    const std::size_t frames = source.Read(output.Tail(), width, room);
    if (frames == 0) {
      return total;
    }
    output.Commit(frames * width);
    total += static_cast<std::int64_t>(frames);
  }
}

// Reads the next block, whole, with one read (two, should the source have
// grown past the buffer sized for it). Returns its frames, or kOutOfMemory.
std::int64_t ReadBlock(SourceStream& source, WorkBuffers& buffers, std::uint32_t width,
                       std::int32_t speed) {
  // A trailing piece shorter than a frame is not a frame and is dropped.
  auto frames = static_cast<std::uint32_t>(source.Read(buffers.input, width, buffers.blockFrames));
  if (frames == buffers.blockFrames && frames < kFramesPerBlock) {
    if (!buffers.GrowToWholeBlock(width, speed, frames)) {
      return kOutOfMemory;
    }
    frames += static_cast<std::uint32_t>(source.Read(buffers.input + std::size_t{frames} * width,
                                                     width, kFramesPerBlock - frames));
  }
  return frames;
}

// Other speeds: each block is resampled into the output buffer, in pieces
// when its output is longer than the room left. Returns the frames
// written, kWriteFailed or kOutOfMemory.
std::int64_t ResampleAllFrames(SourceStream& source, WorkBuffers& buffers,
                               const FrameLayout& layout, std::int32_t speed, VectorPath path) {
  const std::uint32_t width = layout.blockAlign;
  std::int64_t total = 0;
  for (;;) {
    const std::int64_t read = ReadBlock(source, buffers, width, speed);
    if (read <= 0) {
      return read == 0 ? total : read;
    }
    const auto frames = static_cast<std::uint32_t>(read);
    const std::uint32_t count = ResampledFrameCount(frames, speed);
    if (speed < 100) {
      buffers.positions.ComputeUpTo(count);
    }
    for (std::uint32_t done = 0; done < count;) {
      const std::uint32_t take = buffers.output.RoomForFrames(width, count - done);
      if (take == 0) {
        return kWriteFailed;
      }
      if (speed > 100) {
        ShrinkFrames(buffers.input, frames, width, buffers.picks, done, done + take,
                     buffers.output.Tail(), path);
      } else {
        StretchFrames(buffers.input, frames, layout, buffers.positions, done, done + take,
                      buffers.output.Tail(), path);
      }
      buffers.output.Commit(std::size_t{take} * width);
      done += take;
    }
    total += count;
  }
}

}  // namespace

std::int32_t ReadSourceHeader(SourceStream& source, wav::WavHeader& header) {
  if (source.Read(header.data(), 1, header.size()) != header.size()) {
    return source.Failed() ? TAVREL_ERROR_IO : TAVREL_ERROR_SHORT_HEADER;
  }
  return TAVREL_SUCCESS;
}

FrameLayout ReadFrameLayout(const wav::WavHeader& header) {
  return {wav::ReadLe16(&header[wav::kChannelsOffset]),
          wav::ReadLe16(&header[wav::kBlockAlignOffset]),
          wav::ReadLe16(&header[wav::kBitsPerSampleOffset])};
}

std::int32_t FinishDestination(wav::WavHeader& header, std::uint64_t dataBytes,
                               OutputGather& output, DestinationStream& destination) {
  wav::SetWavSizes(header, dataBytes);
  // A short file is still all in the buffer: its header is set there and
  // the whole file goes out in one write.
  if (output.HoldsAll()) {
    std::memcpy(output.Front(), header.data(), header.size());
    return output.Flush() ? TAVREL_SUCCESS : TAVREL_ERROR_IO;
  }
  if (!output.Flush()) {
    return TAVREL_ERROR_IO;
  }
  return destination.WriteAt(0, header.data(), header.size()) ? TAVREL_SUCCESS : TAVREL_ERROR_IO;
}

std::int32_t ConvertWav(SourceStream& source, DestinationStream& destination, std::int32_t speed,
                        std::optional<std::uint64_t> sourceBytes, VectorPath path) {
  wav::WavHeader header{};
  if (const std::int32_t status = ReadSourceHeader(source, header); status != TAVREL_SUCCESS) {
    return status;
  }
  const FrameLayout layout = ReadFrameLayout(header);
  // Both refusals come before anything is written, so the destination stays
  // empty.
  if (speed < 100 && !SamplesFitInFrame(layout)) {
    return TAVREL_ERROR_UNSUPPORTED;
  }
  // A sample rate of 0 Hz is a header that no reader takes.
  if (!ScaleRateField(header, wav::kSampleRateOffset, speed) ||
      !ScaleRateField(header, wav::kByteRateOffset, speed) ||
      wav::ReadLe32(&header[wav::kSampleRateOffset]) == 0) {
    return TAVREL_ERROR_UNSUPPORTED;
  }
  // The destination with the header alone, ending the call with `status`
  // unless writing it fails.
  const auto headerAlone = [&](std::int32_t status) {
    return destination.Append(header.data(), header.size()) ? status : TAVREL_ERROR_IO;
  };
  // A block align of 0 holds no frames at all: there is nothing to read.
  if (layout.blockAlign == 0) {
    wav::SetWavSizes(header, 0);
    return headerAlone(TAVREL_SUCCESS);
  }

  WorkBuffers buffers(destination);
  if (!buffers.Allocate(layout, speed, sourceBytes)) {
    // The source's size fields stay.
    return headerAlone(TAVREL_ERROR_NO_MEMORY);
  }
  // The header goes out with the first frames and is rewritten at the end.
  std::memcpy(buffers.output.Tail(), header.data(), header.size());
  buffers.output.Commit(header.size());

  const std::int64_t frames = speed == 100
                                  ? CopyAllFrames(source, buffers.output, layout.blockAlign)
                                  : ResampleAllFrames(source, buffers, layout, speed, path);
  if (frames == kOutOfMemory) {
    // Only a source that grew after it was measured needs more memory once
    // blocks are read. Before anything went out, the destination is left as
    // for any other allocation that fails: the header alone.
    return buffers.output.HoldsAll() ? headerAlone(TAVREL_ERROR_NO_MEMORY)
                                     : TAVREL_ERROR_NO_MEMORY;
  }
  if (frames < 0 || source.Failed()) {
    return TAVREL_ERROR_IO;
  }
  return FinishDestination(header, static_cast<std::uint64_t>(frames) * layout.blockAlign,
                           buffers.output, destination);
}

}  // namespace tavrel
