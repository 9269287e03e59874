// The capture layer: what the recording control needs from an input device.
// Each platform implements it in a folder of its own (recorder/alsa/); the
// tests use a fake with the same contract.
//
// - Open: the device is opened for mono PCM in one format, or refused.
// - Queue: the caller hands it one buffer, owned by the caller, once before
//   Start and then again from inside each report.
// - Reports: on a thread of its own, the device fills the buffer with whole
//   frames, in the order captured, and reports it (the callback). Queue is
//   the only call allowed from inside a report. A layer whose device must
//   have buffers queued ahead keeps its own and copies into the caller's.
// - Loss: when frames were lost before a report's bytes (the device had
//   nowhere to put them: an overrun), that report says so.
// - Stop: capture ends; every frame captured before the call is still
//   reported, and the last report says it is the last (kStopped).
// - Failure: a device that fails for good (unplugged, its server gone, no
//   audio at all for a long while) makes at once a last report (kFailed)
//   with the frames it still had, and reports nothing more.
// - Close: waits for the report thread to end, so no report reaches the
//   caller after it returns. Idempotent; the destructor closes too.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace orlesk {

// A running device that delivers nothing for this long (and at least four
// of its periods) has stopped for good: its server is gone, it was
// unplugged, or it hangs. Capture ends rather than wait for ever.
inline constexpr std::chrono::milliseconds kSilentDeviceTimeout{2000};

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

// Why a report is the device's last one.
enum class CaptureEnd : std::uint8_t {
  kNone,     // more reports follow once the buffer is queued again
  kStopped,  // Stop was called: these are the last frames captured before it
  kFailed,   // the device failed for good
};

// The one buffer the device fills. The device sets the fields after
// `length` before each report.
struct CaptureBuffer {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
  // Bytes of whole frames in data, from its start.
  std::uint32_t bytesRecorded = 0;
  // Frames were lost between the previous report and these.
  bool framesLost = false;
  CaptureEnd end = CaptureEnd::kNone;
};

// Called on the device's thread with the buffer it has filled.
using CaptureDoneCallback = void (*)(CaptureBuffer& buffer, void* context);

class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;

  virtual void Queue(CaptureBuffer& buffer) = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void Close() = 0;
};

// Opens devices; the library has one per platform, the tests a fake.
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
