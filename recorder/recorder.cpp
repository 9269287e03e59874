#include "recorder.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "narrow_path.h"
#include "recording_file.h"

namespace orlesk {

std::int64_t CaptureBufferSize(std::int32_t sampleRate, std::int32_t bitsPerSample) {
  return std::int64_t{sampleRate} * bitsPerSample / 8 / 10;
}

CaptureFormat DescribeCaptureFormat(std::int32_t sampleRate, std::int32_t bitsPerSample) {
  CaptureFormat format;
  format.sampleRate = sampleRate;
  format.bitsPerSample = bitsPerSample;
  format.channels = 1;
  format.blockAlign = static_cast<std::uint16_t>(bitsPerSample / 8);
  format.averageBytesPerSecond =
      static_cast<std::uint32_t>(std::int64_t{sampleRate} * format.blockAlign);
  return format;
}

namespace {

// The path as the file functions take it, or nothing when there is none:
// null, not valid UTF-16, or too long for the path buffer.
std::optional<std::string> RecordingPath(const char16_t* path) {
  std::optional<std::string> narrow = common::NarrowPath(path);
  if (narrow && narrow->size() + 1 > kPathBufferSize) {
    return std::nullopt;
  }
  return narrow;
}

// The buffer for one report, or null when 100 ms is less than a frame, more
// than the descriptor's 32-bit length can say, or more than the heap gives.
std::unique_ptr<std::uint8_t[]> AllocateCaptureBuffer(std::int64_t size,
                                                      std::uint16_t blockAlign) {
  if (size < std::max<std::int64_t>(1, blockAlign) ||
      static_cast<std::uint64_t>(size) > std::numeric_limits<std::uint32_t>::max() ||
      static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max()) {
    return nullptr;
  }
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow)
                                             std::uint8_t[static_cast<std::size_t>(size)]);
}

}  // namespace

Recorder::~Recorder() { Stop(); }

std::int32_t Recorder::Start(const char16_t* path, std::int32_t sampleRate,
                             std::int32_t bitsPerSample) {
  const std::lock_guard lock(startStopMutex_);
  if (state_.recording.load() != 0) {
    return kAlreadyRecording;
  }
  const std::optional<std::string> narrowPath = RecordingPath(path);
  if (!narrowPath) {
    return kFileNotCreated;
  }

  state_.format = DescribeCaptureFormat(sampleRate, bitsPerSample);
  std::unique_ptr<CaptureDevice> device =
      captureSystem_.Open(state_.format, &Recorder::OnCaptureDone, this);
  if (!device) {
    return kDeviceNotOpened;
  }

  std::FILE* stream = CreateRecordingFile(*narrowPath);
  if (stream == nullptr) {
    device->Close();
    return kFileNotCreated;
  }
  // A file whose header cannot be written is as good as not created: say so
  // now rather than record into it and fail at stop.
  if (!WriteWavHeader(stream, sampleRate, bitsPerSample, 1)) {
    device->Close();
    CloseRecordingFile(stream);
    return kFileNotCreated;
  }

  const std::int64_t bufferSize = CaptureBufferSize(sampleRate, bitsPerSample);
  state_.buffer = AllocateCaptureBuffer(bufferSize, state_.format.blockAlign);
  if (!state_.buffer) {
    device->Close();
    FinalizeWavSizes(stream);
    CloseRecordingFile(stream);
    return kNoCaptureBuffer;
  }

  state_.device = std::move(device);
  state_.stream = stream;
  state_.writeFailed = false;
  state_.descriptor = CaptureBuffer{state_.buffer.get(), static_cast<std::uint32_t>(bufferSize), 0};
  state_.device->Queue(state_.descriptor);
  state_.recording.store(1);
  state_.device->Start();
  return kSuccess;
}

void Recorder::OnCaptureDone(CaptureBuffer& buffer, void* context) {
  RecorderState& state = static_cast<Recorder*>(context)->state_;
  if (state.recording.load() == 0) {
    return;
  }
  // After the first failed write nothing more is appended, so the file stays
  // a clean prefix of the audio even if the disk gets space back.
  if (buffer.bytesRecorded > 0 && state.stream != nullptr && !state.writeFailed &&
      !AppendToRecording(state.stream, buffer.data, buffer.bytesRecorded)) {
    state.writeFailed = true;
  }
  if (state.recording.load() != 0) {
    state.device->Queue(buffer);
  }
}

std::int32_t Recorder::Stop() {
  const std::lock_guard lock(startStopMutex_);
  if (state_.recording.load() == 0) {
    return kNotRecording;
  }
  state_.recording.store(0);
  state_.device->Stop();
  state_.device->Close();
  state_.device.reset();

  const bool finalized = FinalizeWavSizes(state_.stream);
  const bool closed = CloseRecordingFile(state_.stream);
  state_.stream = nullptr;
  state_.buffer.reset();
  state_.descriptor = CaptureBuffer{};
  return finalized && closed && !state_.writeFailed ? kSuccess : kWriteFailed;
}

}  // namespace orlesk
