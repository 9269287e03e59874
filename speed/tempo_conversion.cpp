#include "tempo_conversion.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "block_resampling.h"
#include "output_gather.h"
#include "pcm_samples.h"
#include "tavrel.h"
#include "tempo_plan.h"
#include "tempo_stretcher.h"
#include "wav_conversion.h"
#include "wav_header.h"

namespace tavrel {

namespace {

// Output is handed to the destination this much at a time, as the speed
// effect does.
constexpr std::size_t kGatherBytes = std::size_t{1} << 21;

constexpr std::int32_t kUnchangedSpeed = 100;

bool IsTempoDepth(std::uint32_t bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Frames of the source, when its length is known.
std::optional<std::uint64_t> SourceFrames(std::uint32_t blockAlign,
                                          std::optional<std::uint64_t> sourceBytes) {
  if (!sourceBytes) {
    return std::nullopt;
  }
  return *sourceBytes < wav::kHeaderSize ? 0 : (*sourceBytes - wav::kHeaderSize) / blockAlign;
}

// Encodes the tempo change's output frames straight into the output buffer.
// A frame wider than its samples gets zeros in its remaining bytes.
class GatherSink final : public tempo::FrameSink {
 public:
  GatherSink(OutputGather& output, const FrameLayout& layout)
      : output_(output),
        channels_(layout.channels),
        bits_(layout.bitsPerSample),
        width_(layout.blockAlign),
        sampleBytes_(std::size_t{layout.channels} * (layout.bitsPerSample / 8)) {}

  bool Take(const std::int32_t* samples, std::size_t frames) override {
    while (frames > 0) {
      const std::uint32_t room = output_.RoomForFrames(width_, frames);
      if (room == 0) {
        return false;
      }
      std::uint8_t* at = output_.Tail();
      if (sampleBytes_ == width_) {
        tempo::EncodePcmSamples(samples, std::size_t{room} * channels_, bits_, at);
      } else {
        for (std::uint32_t i = 0; i < room; ++i) {
          tempo::EncodePcmSamples(samples + std::size_t{i} * channels_, channels_, bits_,
                                  at + std::size_t{i} * width_);
          std::memset(at + std::size_t{i} * width_ + sampleBytes_, 0, width_ - sampleBytes_);
        }
      }
      output_.Commit(std::size_t{room} * width_);
      samples += std::size_t{room} * channels_;
      frames -= room;
    }
    return true;
  }

 private:
  OutputGather& output_;
  std::uint32_t channels_;
  std::uint32_t bits_;
  std::size_t width_;
  std::size_t sampleBytes_;
};

// One block of source frames as read and as decoded.
struct InputBlock {
  bool Allocate(const FrameLayout& layout, std::uint32_t frames) {
    bytes.reset(new (std::nothrow) std::uint8_t[std::size_t{frames} * layout.blockAlign]);
    samples.reset(new (std::nothrow) std::int32_t[std::size_t{frames} * layout.channels]);
    capacity = frames;
    return bytes && samples;
  }

  void Decode(const FrameLayout& layout, std::size_t frames) {
    const std::size_t sampleBytes = std::size_t{layout.channels} * (layout.bitsPerSample / 8);
    if (sampleBytes == layout.blockAlign) {
      tempo::DecodePcmSamples(bytes.get(), frames * layout.channels, layout.bitsPerSample,
                              samples.get());
      return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
      tempo::DecodePcmSamples(bytes.get() + i * layout.blockAlign, layout.channels,
                              layout.bitsPerSample, samples.get() + i * layout.channels);
    }
  }

  std::unique_ptr<std::uint8_t[]> bytes;
  std::unique_ptr<std::int32_t[]> samples;
  std::uint32_t capacity = 0;
};

}  // namespace

std::int32_t ConvertWavTempo(SourceStream& source, DestinationStream& destination,
                             std::int32_t speed, std::optional<std::uint64_t> sourceBytes) {
  // Unchanged tempo: the frames as they are, by the speed effect's own path.
  if (speed == kUnchangedSpeed) {
    return ConvertWav(source, destination, speed, sourceBytes);
  }
  wav::WavHeader header{};
  if (const std::int32_t status = ReadSourceHeader(source, header); status != TAVREL_SUCCESS) {
    return status;
  }
  const FrameLayout layout = ReadFrameLayout(header);
  const auto headerAlone = [&](std::int32_t status) {
    return destination.Append(header.data(), header.size()) ? status : TAVREL_ERROR_IO;
  };
  // A block align of 0 holds no frames at all, as for the speed effect.
  if (layout.blockAlign == 0) {
    wav::SetWavSizes(header, 0);
    return headerAlone(TAVREL_SUCCESS);
  }
  // The refusal comes before anything is written, so the destination stays
  // empty: the samples must be integers the method can compute, inside
  // their frames, at a rate it can measure milliseconds in.
  const tempo::TempoFormat format{layout.channels, wav::ReadLe32(&header[wav::kSampleRateOffset]),
                                  layout.bitsPerSample};
  if (!IsTempoDepth(layout.bitsPerSample) || !SamplesFitInFrame(layout) ||
      !tempo::IsUsableFormat(format)) {
    return TAVREL_ERROR_UNSUPPORTED;
  }

  // Sized by the plan, the channels and at most a block: never by the
  // source's length or the speed.
  auto stretcher = std::unique_ptr<tempo::TempoStretcher>(new (std::nothrow) tempo::TempoStretcher);
  const std::optional<std::uint64_t> frames = SourceFrames(layout.blockAlign, sourceBytes);
  // Thousands of channels take fewer frames a block, so that the decoded
  // samples stay within the window's bound.
  const std::uint64_t mostFrames =
      std::clamp<std::uint64_t>(tempo::kMostWindowSamples / layout.channels, 1, kFramesPerBlock);
  const auto blockFrames = static_cast<std::uint32_t>(
      frames ? std::min<std::uint64_t>(mostFrames, *frames + 1) : mostFrames);
  InputBlock input;
  OutputGather output(destination);
  std::uint64_t gatherBytes = kGatherBytes;
  if (frames) {
    gatherBytes = std::min<std::uint64_t>(
        gatherBytes, wav::kHeaderSize + tempo::TempoOutputFrames(*frames, speed) * layout.blockAlign);
  }
  gatherBytes = std::max<std::uint64_t>(gatherBytes, wav::kHeaderSize + layout.blockAlign);
  if (!stretcher || stretcher->Configure(format, speed) != tempo::TempoStretcher::Setup::kReady ||
      !input.Allocate(layout, blockFrames) ||
      !output.Allocate(static_cast<std::size_t>(gatherBytes))) {
    // The source's size fields stay.
    return headerAlone(TAVREL_ERROR_NO_MEMORY);
  }
  // The header goes out with the first frames and is rewritten at the end.
  std::memcpy(output.Tail(), header.data(), header.size());
  output.Commit(header.size());

  GatherSink sink(output, layout);
  for (;;) {
    // A trailing piece shorter than a frame is not a frame and is dropped.
    const std::size_t read = source.Read(input.bytes.get(), layout.blockAlign, input.capacity);
    if (read == 0) {
      break;
    }
    input.Decode(layout, read);
    if (!stretcher->Push(input.samples.get(), read, sink)) {
      return TAVREL_ERROR_IO;
    }
  }
  if (source.Failed() || !stretcher->Finish(sink)) {
    return TAVREL_ERROR_IO;
  }
  return FinishDestination(header, stretcher->outputFrames() * layout.blockAlign, output,
                           destination);
}

}  // namespace tavrel
