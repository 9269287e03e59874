#include "recorder.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "narrow_path.h"
#include "orlesk.h"
#include "process_id.h"

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

// Whether 100 ms of audio holds at least one frame and fits the
// descriptor's 32-bit length and the address space.
bool UsableBufferSize(std::int64_t size, std::uint16_t blockAlign) {
  return size >= std::max<std::int64_t>(1, blockAlign) &&
         static_cast<std::uint64_t>(size) <= std::numeric_limits<std::uint32_t>::max() &&
         static_cast<std::uint64_t>(size) <= std::numeric_limits<std::size_t>::max();
}

// Allocates the report buffer, the queue and the writer, and starts the
// writer. False when memory or a thread is lacking.
bool PrepareCapture(Recording& recording, std::int64_t bufferSize, const CaptureFormat& format) {
  const std::uint64_t queueBytes =
      static_cast<std::uint64_t>(kQueueSeconds) * format.averageBytesPerSecond;
  if (!UsableBufferSize(bufferSize, format.blockAlign) ||
      queueBytes > std::numeric_limits<std::size_t>::max() / 2) {
    return false;
  }
  try {
    const auto size = static_cast<std::size_t>(bufferSize);
    recording.buffer.reset(new std::uint8_t[size]);
    recording.descriptor = CaptureBuffer{recording.buffer.get(), static_cast<std::uint32_t>(size)};
    // The writer wakes when an eighth of the queue waits, or on its own
    // timer, whichever comes first.
    const auto capacity = static_cast<std::size_t>(queueBytes);
    recording.queue = std::make_unique<FrameQueue>(std::max(capacity, size), format.blockAlign,
                                                   capacity / 8);
    recording.writer = std::make_unique<RecordingWriter>(*recording.queue, recording.file);
    recording.writer->Launch();
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

}  // namespace

Recorder::~Recorder() {
  if (RecordingBelongsToAnotherProcess()) {
    // The parent's device, threads and file: this copy is left as it is.
    abandoned_ = recording_.release();
    return;
  }
  Stop();
}

void Recorder::FinaliseAtProcessEnd() {
  if (!recording_ || owner_.load() != common::CurrentProcessId()) {
    return;
  }
  recording_->file.WriteWavSizes();
  abandoned_ = recording_.release();
  owner_.store(0);
}

bool Recorder::RecordingBelongsToAnotherProcess() const {
  const std::uint32_t owner = owner_.load();
  return owner != 0 && owner != common::CurrentProcessId();
}

std::int32_t Recorder::Start(const char16_t* path, std::int32_t sampleRate,
                             std::int32_t bitsPerSample) {
  if (RecordingBelongsToAnotherProcess()) {
    return ORLESK_ERROR_ALREADY_RECORDING;
  }
  const ProcessBoundLock lock(startStopMutex_);
  // Not taken: another process was starting or stopping when it forked us.
  if (!lock || recording_) {
    return ORLESK_ERROR_ALREADY_RECORDING;
  }
  if (!FitsPathBuffer(path)) {
    return ORLESK_ERROR_FILE;
  }

  // Everything below is released in reverse on an early return: the
  // device is closed before the file. A file that was there already is
  // emptied only once nothing else can stop the recording; until then a
  // start that does not go ahead leaves it as it was, and removes a file
  // it created.
  auto recording = std::make_unique<Recording>();
  std::u16string target(path);
  const CaptureFormat format = DescribeCaptureFormat(sampleRate, bitsPerSample);
  recording->device = captureSystem_.Open(format, &Recorder::OnCaptureDone, recording.get());
  if (!recording->device) {
    return ORLESK_ERROR_DEVICE;
  }
  if (!recording->file.Open(std::move(target))) {
    return ORLESK_ERROR_FILE;
  }
  if (!PrepareCapture(*recording, CaptureBufferSize(sampleRate, bitsPerSample), format)) {
    recording->file.Abandon();
    return ORLESK_ERROR_NO_BUFFER;
  }
  // A file whose header cannot be written is as good as not created: say so
  // now rather than record into it and fail at stop.
  if (!recording->file.WriteWavHeader(sampleRate, bitsPerSample, 1)) {
    recording->writer->Finish();
    recording->file.Abandon();
    return ORLESK_ERROR_FILE;
  }

  recording->frameBytes = std::max<std::uint32_t>(1, format.blockAlign);
  recording->room = settings_.maxDataBytes / recording->frameBytes * recording->frameBytes;
  recording->now = settings_.now;
  recording->device->Queue(recording->descriptor);
  recording_ = std::move(recording);
  owner_.store(common::CurrentProcessId());
  // Set before the device's thread first reads it, which Start orders.
  recording_->pace = CapturePace(sampleRate, settings_.now());
  recording_->device->Start();
  return ORLESK_SUCCESS;
}

void Recorder::OnCaptureDone(CaptureBuffer& buffer, void* context) {
  Recording& recording = *static_cast<Recording*>(context);
  const std::uint32_t bytes = std::min(buffer.bytesRecorded, buffer.length);
  recording.pace.Count(bytes / recording.frameBytes, recording.now());
  // Both are whole frames. Past the header's limit nothing more is taken:
  // the file ends there, and what follows is lost.
  const auto kept = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, recording.room));
  const std::size_t queued = kept > 0 ? recording.queue->Push(buffer.data, kept) : 0;
  recording.room -= queued;
  // A full queue means the disk has not kept up for seconds.
  if (buffer.framesLost || queued < bytes || buffer.end == CaptureEnd::kFailed) {
    recording.audioLost = true;
  }
  if (buffer.end == CaptureEnd::kNone) {
    recording.device->Queue(buffer);
  }
}

std::int32_t Recorder::Stop() {
  if (owner_.load() != common::CurrentProcessId()) {
    // Nothing runs, or what runs is another process's (we are its fork()
    // child): either way this process has nothing to stop.
    return ORLESK_ERROR_NOT_RECORDING;
  }
  const ProcessBoundLock lock(startStopMutex_);
  if (!lock || !recording_) {
    return ORLESK_ERROR_NOT_RECORDING;
  }
  Recording& recording = *recording_;
  // The device reports the frames it still holds, then its thread ends: it
  // must close before the writer is told that nothing more comes.
  recording.device->Stop();
  recording.device->Close();
  recording.device.reset();

  const bool written = recording.writer->Finish();
  const bool sized = recording.file.WriteWavSizes();
  const bool closed = recording.file.Close();
  // The device's last report, with the frames it held at the stop, was
  // counted against the clock too.
  const bool lost = recording.audioLost || recording.pace.FellBehind();
  recording_.reset();
  owner_.store(0);
  if (!written || !sized || !closed) {
    return ORLESK_ERROR_WRITE;
  }
  return lost ? ORLESK_ERROR_AUDIO_LOST : ORLESK_SUCCESS;
}

}  // namespace orlesk
