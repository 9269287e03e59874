// The capture layer: what the recording control needs from an input device.
//
// A device is opened for mono PCM in one format, is handed one caller-owned
// buffer, and reports each filled buffer with its byte count on a thread of
// its own. The report may hand the same buffer back (Queue) from inside
// itself; that is the only call allowed from the report thread. Stop halts
// capture and hands a still-queued buffer back through one last report;
// Close waits for the report thread to end, so no report reaches the caller
// after it returns.
//
// The library's backend is ALSA; the tests use a fake with the same contract.
#pragma once

#include <cstdint>
#include <memory>

namespace orlesk {

// The format the device is opened with, in the platform's wave-format terms.
// Rate and bits are the caller's values, unchecked: the device refuses what
// it cannot record.
struct CaptureFormat {
  std::int32_t sampleRate = 0;
  std::int32_t bitsPerSample = 0;
  std::uint16_t channels = 0;
  // bitsPerSample / 8, truncated and cut to 16 bits: one frame.
  std::uint16_t blockAlign = 0;
  // sampleRate × blockAlign, cut to 32 bits.
  std::uint32_t averageBytesPerSecond = 0;
};

// The one buffer the device fills. The device sets bytesRecorded before each
// report, always a whole number of frames.
struct CaptureBuffer {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
  std::uint32_t bytesRecorded = 0;
};

// Called on the device's thread with the buffer it has filled or returned.
using CaptureDoneCallback = void (*)(CaptureBuffer& buffer, void* context);

class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;

  // Hands the buffer to the device: once before Start, then from inside a
  // report to have it filled again.
  virtual void Queue(CaptureBuffer& buffer) = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  // Idempotent; the destructor closes too.
  virtual void Close() = 0;
};

// Opens devices; the library has one for ALSA, the tests a fake.
class CaptureSystem {
 public:
  // Null when the device cannot be opened in this format.
  virtual std::unique_ptr<CaptureDevice> Open(const CaptureFormat& format,
                                              CaptureDoneCallback callback,
                                              void* context) = 0;

 protected:
  ~CaptureSystem() = default;
};

}  // namespace orlesk
