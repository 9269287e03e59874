// The recording control: one recording at a time, from start to stop.
//
// The capture thread and the caller share the state without a lock on the
// capture side: the recording flag is an atomic word, and the order of steps
// does the rest. Start queues the buffer and sets the flag before capture
// starts; stop clears the flag before it touches the device, and closes the
// device (joining its thread) before it finalises and closes the file, so no
// report can reach a closed file. Start and stop themselves are serialised by
// a mutex, which the capture thread never takes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "capture_device.h"
#include "file_stream.h"

namespace orlesk {

// The converted path must fit this many bytes, terminator included.
inline constexpr std::size_t kPathBufferSize = 252;

// 100 ms of audio in bytes: ((rate × bits) / 8) / 10, truncated. It is not
// rounded to frames: 100 ms at 805 Hz and 16 bits is 161 bytes. Computed in
// 64 bits, so absurd arguments give an absurd size rather than overflow.
std::int64_t CaptureBufferSize(std::int32_t sampleRate, std::int32_t bitsPerSample);

// The format the device is opened with: mono, block align bits / 8.
CaptureFormat DescribeCaptureFormat(std::int32_t sampleRate, std::int32_t bitsPerSample);

struct RecorderState {
  std::unique_ptr<CaptureDevice> device;
  common::FileStream stream;
  CaptureFormat format;
  CaptureBuffer descriptor;
  // 1 from the end of a successful start until the start of a stop.
  std::atomic<std::int32_t> recording{0};
  std::unique_ptr<std::uint8_t[]> buffer;
  // Set by the capture thread at the first failed write, after which nothing
  // more is appended. Start clears it before capture starts and stop reads it
  // after the capture thread has ended, so it needs no atomic.
  bool writeFailed = false;
};

class Recorder {
 public:
  explicit constexpr Recorder(CaptureSystem& captureSystem) : captureSystem_(captureSystem) {}
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  // Stops a running recording as Stop would, so the file is finalised when
  // the library is unloaded or the process exits.
  ~Recorder();

  // Both return one of the ORLESK_ statuses of orlesk.h. Start throws only
  // before anything is opened: std::bad_alloc while converting the path, or
  // std::system_error from the mutex (as Stop).
  std::int32_t Start(const char16_t* path, std::int32_t sampleRate, std::int32_t bitsPerSample);
  std::int32_t Stop();

 private:
  static void OnCaptureDone(CaptureBuffer& buffer, void* context);

  CaptureSystem& captureSystem_;
  RecorderState state_;
  std::mutex startStopMutex_;
};

}  // namespace orlesk
