#include "recorder.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "narrow_path.h"
#include "orlesk.h"
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

// Whether the path names a file at all (not null, valid UTF-16) and its
// UTF-8 form fits the path buffer with its terminator.
bool FitsPathBuffer(const char16_t* path) {
  const std::optional<std::string> narrow = common::NarrowPath(path);
  return narrow && narrow->size() + 1 <= kPathBufferSize;
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
    return ORLESK_ERROR_ALREADY_RECORDING;
  }
  if (!FitsPathBuffer(path)) {
    return ORLESK_ERROR_FILE;
  }

  // The owners below release in reverse order on every early return: the
  // file is closed before the device.
  const CaptureFormat format = DescribeCaptureFormat(sampleRate, bitsPerSample);
  std::unique_ptr<CaptureDevice> device =
      captureSystem_.Open(format, &Recorder::OnCaptureDone, this);
  if (!device) {
    return ORLESK_ERROR_DEVICE;
  }
  common::FileStream stream = CreateRecordingFile(path);
  // A file whose header cannot be written is as good as not created: say so
  // now rather than record into it and fail at stop.
  if (!stream || !WriteWavHeader(stream.get(), sampleRate, bitsPerSample, 1)) {
    return ORLESK_ERROR_FILE;
  }
  const std::int64_t bufferSize = CaptureBufferSize(sampleRate, bitsPerSample);
  std::unique_ptr<std::uint8_t[]> buffer = AllocateCaptureBuffer(bufferSize, format.blockAlign);
  if (!buffer) {
    FinalizeWavSizes(stream.get());
    return ORLESK_ERROR_NO_BUFFER;
  }

  state_.format = format;
  state_.device = std::move(device);
  state_.stream = std::move(stream);
  state_.buffer = std::move(buffer);
  state_.writeFailed = false;
  state_.descriptor = CaptureBuffer{state_.buffer.get(), static_cast<std::uint32_t>(bufferSize), 0};
  state_.device->Queue(state_.descriptor);
  state_.recording.store(1);
  state_.device->Start();
  return ORLESK_SUCCESS;
}

void Recorder::OnCaptureDone(CaptureBuffer& buffer, void* context) {
  RecorderState& state = static_cast<Recorder*>(context)->state_;
  if (state.recording.load() == 0) {
    return;
  }
  // After the first failed write nothing more is appended, so the file stays
  // a clean prefix of the audio even if the disk gets space back.
  if (buffer.bytesRecorded > 0 && state.stream && !state.writeFailed &&
      !AppendToRecording(state.stream.get(), buffer.data, buffer.bytesRecorded)) {
    state.writeFailed = true;
  }
  if (state.recording.load() != 0) {
    state.device->Queue(buffer);
  }
}

std::int32_t Recorder::Stop() {
  const std::lock_guard lock(startStopMutex_);
  if (state_.recording.load() == 0) {
    return ORLESK_ERROR_NOT_RECORDING;
  }
  state_.recording.store(0);
  state_.device->Stop();
  // Closing the device ends its report thread, so nothing touches the file
  // or the buffer after this. It must close before the owner lets go: a
  // report still running re-queues through the owner, which reset() empties
  // before it destroys the device.
  state_.device->Close();
  state_.device.reset();

  const bool finalized = FinalizeWavSizes(state_.stream.get());
  const bool closed = state_.stream.Close();
  state_.buffer.reset();
  state_.descriptor = CaptureBuffer{};
  return finalized && closed && !state_.writeFailed ? ORLESK_SUCCESS : ORLESK_ERROR_WRITE;
}

}  // namespace orlesk
