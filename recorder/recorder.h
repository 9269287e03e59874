// The recording control: one recording at a time, from start to stop.
//
// Three threads take part. The caller's thread starts and stops. The
// device's thread reports captured frames; the report copies them into a
// queue of at least 5 s of audio and hands the buffer back, so capture
// never waits for the disk. The writer thread empties the queue into the
// file. Stop has the device report every frame captured before it, closes
// the device (ending its thread), lets the writer finish the queue, and
// then writes the sizes and closes the file.
//
// A recording belongs to the process that started it. A fork() child holds
// a copy of it, but neither its start, its stop nor its exit-time stop
// touches that copy: the device's thread and the writer live on in the
// parent only, and the child's exit must not close, patch or write what the
// parent is still recording.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "capture_device.h"
#include "capture_pace.h"
#include "frame_queue.h"
#include "process_bound_mutex.h"
#include "recording_file.h"
#include "recording_writer.h"
#include "wav_header.h"

namespace orlesk {

// The converted path must fit this many bytes, terminator included.
inline constexpr std::size_t kPathBufferSize = 252;

// How much audio the queue between capture and file holds.
inline constexpr std::int64_t kQueueSeconds = 5;

// 100 ms of audio in bytes: ((rate × bits) / 8) / 10, truncated. It is not
// rounded to frames: 100 ms at 805 Hz and 16 bits is 161 bytes. Computed in
// 64 bits, so absurd arguments give an absurd size rather than overflow.
std::int64_t CaptureBufferSize(std::int32_t sampleRate, std::int32_t bitsPerSample);

// The format the device is opened with: mono, block align bits / 8.
CaptureFormat DescribeCaptureFormat(std::int32_t sampleRate, std::int32_t bitsPerSample);

// What the recorder takes from outside besides the device. The library
// uses the defaults; the tests put in a clock that they move themselves
// and a smaller limit, which a test could not reach by writing 4 GiB.
struct RecorderSettings {
  // The clock that a device's delivery is measured against.
  CapturePace::Clock::time_point (*now)() = [] { return CapturePace::Clock::now(); };
  // The most audio a file may take: what the header's 32-bit sizes can
  // declare. Past it the recording keeps what it has and loses the rest.
  std::uint64_t maxDataBytes = wav::kMaxDataSize;
};

// Everything one running recording holds. Members are destroyed in the
// reverse order: the device (its thread ends) before the writer (it
// finishes the queue) before the queue and the file.
struct Recording {
  RecordingFile file;
  std::unique_ptr<FrameQueue> queue;
  std::unique_ptr<RecordingWriter> writer;
  std::unique_ptr<std::uint8_t[]> buffer;
  CaptureBuffer descriptor;
  std::unique_ptr<CaptureDevice> device;
  // Used by the device's thread while it runs, by stop once it has ended.
  CapturePace pace;
  CapturePace::Clock::time_point (*now)() = nullptr;
  std::uint32_t frameBytes = 1;
  // Bytes the file may still take, in whole frames.
  std::uint64_t room = 0;
  // A frame was lost, the device failed or fell behind, or the file is
  // full.
  bool audioLost = false;
};

class Recorder {
 public:
  explicit constexpr Recorder(CaptureSystem& captureSystem, const RecorderSettings& settings = {})
      : captureSystem_(captureSystem), settings_(settings) {}
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  // Stops a running recording as Stop would, so the file is finalised when
  // the library is unloaded or the process exits; in a fork() child it
  // leaves the parent's recording alone.
  ~Recorder();

  // Both return one of the ORLESK_ statuses of orlesk.h. Start throws only
  // std::bad_alloc, before anything is opened, while converting or copying
  // the path.
  std::int32_t Start(const char16_t* path, std::int32_t sampleRate, std::int32_t bitsPerSample);
  std::int32_t Stop();

  // For a process that is ending while its recording runs, where every
  // other thread has already been ended (as Windows does before it tells
  // the libraries): the device's and the writer's threads are gone, and
  // may have left locks held, so nothing is stopped or joined. The sizes
  // are written for the audio that reached the file, and the recording is
  // let go of.
  void FinaliseAtProcessEnd();

 private:
  static void OnCaptureDone(CaptureBuffer& buffer, void* context);
  // Whether a recording runs that another process started (this process
  // is a fork() child of it). Reads one atomic word and takes no lock.
  bool RecordingBelongsToAnotherProcess() const;

  CaptureSystem& captureSystem_;
  RecorderSettings settings_;
  ProcessBoundMutex startStopMutex_;
  std::unique_ptr<Recording> recording_;
  // In a fork() child: the parent's recording, let go of but kept in
  // reach, as a copy of memory the child must not free or use.
  Recording* abandoned_ = nullptr;
  // The id of the process whose recording runs; 0 when none does.
  std::atomic<std::uint32_t> owner_{0};
};

}  // namespace orlesk
