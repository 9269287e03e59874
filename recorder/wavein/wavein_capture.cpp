#include "wavein_capture.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "capture_reporter.h"
#include "quiet_thread.h"

namespace orlesk {

namespace {

// Buffers the device fills in turn, 100 ms each: 800 ms queued in all, so a
// capture thread held up for most of a second still loses nothing.
constexpr std::size_t kDeviceBuffers = 8;
constexpr std::uint32_t kBuffersPerSecond = 10;

// A device silent for kSilentDeviceTimeout has stopped for good; that is
// more than four buffers' time, as the capture contract asks.
constexpr auto kSilentDeviceTimeoutMs = static_cast<DWORD>(kSilentDeviceTimeout.count());
static_assert(kSilentDeviceTimeoutMs >= 4 * 1000 / kBuffersPerSecond);
// At stop, a device that has filled no buffer for a second (ten buffers'
// time) had stopped delivering: the recording lacks what it should hold.
constexpr DWORD kSilentAtStopMs = 1000;
// How long reset may take to hand back a buffer the device had already
// taken off its queue when reset came.
constexpr DWORD kResetReturnTimeoutMs = 500;

bool IsRecordableDepth(std::int32_t bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The device, its buffers and one capture thread. The caller's thread opens
// the device and prepares the buffers; from Start on, the capture thread
// alone calls the wave functions (queue, start, reset); the caller
// unprepares and closes only after joining it.
//
// Windows forbids wave functions and file I/O inside a wave-input callback
// function: they can deadlock. So the device only signals an event
// (CALLBACK_EVENT) and the capture thread does the rest: it copies each
// filled buffer into the caller's, reports it, and queues it again.
class WaveInCaptureDevice final : public CaptureDevice {
 public:
  WaveInCaptureDevice(CaptureDoneCallback callback, void* context, std::uint32_t frameBytes)
      : reporter_(callback, context), frameBytes_(frameBytes) {}
  ~WaveInCaptureDevice() override { Close(); }
  WaveInCaptureDevice(const WaveInCaptureDevice&) = delete;
  WaveInCaptureDevice& operator=(const WaveInCaptureDevice&) = delete;

  // Opens the default device in `format`, prepares the buffers and starts
  // the capture thread, which waits for Start or Stop. False, or
  // std::system_error, when any of that fails; Close releases what was made.
  bool Launch(const WAVEFORMATEX& format);

  void Queue(CaptureBuffer& buffer) override { reporter_.Queue(buffer); }
  void Start() override;
  void Stop() override;
  void Close() override;

 private:
  void Run();
  // Queues every buffer and starts the device. False when the device
  // refused.
  bool StartDevice();
  // Reports filled buffers until stopped, or until the device fails.
  void Capture();
  // Takes every buffer back from the device (reset returns the partly
  // filled one with its bytes), reports what they hold, and ends with a
  // last report.
  void Finish(CaptureEnd end);
  // Delivers the buffers the device has filled, in the order it fills
  // them; `requeue`: hands each back to the device. How many were done;
  // false in `failed` when the device refused one back.
  std::size_t DeliverFilled(bool requeue, bool& failed);
  // Copies bytes into the caller's buffer and reports them, as many
  // reports as the caller's buffer needs.
  void Deliver(const std::uint8_t* bytes, std::uint32_t size);

  CaptureReporter reporter_;
  std::uint32_t frameBytes_;
  HWAVEIN device_ = nullptr;
  // Signalled by the device for every buffer it returns (CALLBACK_EVENT),
  // and by Start and Stop.
  HANDLE deviceEvent_ = nullptr;
  HANDLE controlEvent_ = nullptr;
  std::vector<std::uint8_t> memory_;
  std::vector<WAVEHDR> headers_;
  // Capture thread only: which buffers the device holds (queued, not yet
  // delivered back).
  std::vector<bool> withDevice_;
  std::size_t prepared_ = 0;
  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> stopRequested_{false};
  // Capture thread only: the buffer the device fills next.
  std::size_t next_ = 0;
};

bool WaveInCaptureDevice::Launch(const WAVEFORMATEX& format) {
  deviceEvent_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  controlEvent_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (deviceEvent_ == nullptr || controlEvent_ == nullptr) {
    return false;
  }
  if (::waveInOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(deviceEvent_), 0,
                   CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    device_ = nullptr;
    return false;
  }
  const std::uint32_t perBuffer = format.nAvgBytesPerSec / kBuffersPerSecond;
  const std::uint32_t bufferBytes = std::max(frameBytes_, perBuffer / frameBytes_ * frameBytes_);
  memory_.resize(std::size_t{bufferBytes} * kDeviceBuffers);
  headers_.resize(kDeviceBuffers);
  withDevice_.assign(kDeviceBuffers, false);
  for (std::size_t i = 0; i < kDeviceBuffers; ++i) {
    WAVEHDR& header = headers_[i];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(memory_.data() + i * bufferBytes);
    header.dwBufferLength = bufferBytes;
    if (::waveInPrepareHeader(device_, &header, sizeof header) != MMSYSERR_NOERROR) {
      return false;
    }
    ++prepared_;
  }
  thread_ = common::StartThreadWithoutSignals([this] { Run(); });
  return true;
}

void WaveInCaptureDevice::Start() {
  started_.store(true);
  ::SetEvent(controlEvent_);
}

void WaveInCaptureDevice::Stop() {
  stopRequested_.store(true);
  ::SetEvent(controlEvent_);
}

void WaveInCaptureDevice::Close() {
  if (thread_.joinable()) {
    Stop();
    thread_.join();
  }
  if (device_ != nullptr) {
    // Nothing is queued once the thread has ended, but a device that never
    // started may still hold buffers: reset gives every one back.
    ::waveInReset(device_);
    for (std::size_t i = 0; i < prepared_; ++i) {
      ::waveInUnprepareHeader(device_, &headers_[i], sizeof headers_[i]);
    }
    prepared_ = 0;
    ::waveInClose(device_);
    device_ = nullptr;
  }
  for (HANDLE* event : {&deviceEvent_, &controlEvent_}) {
    if (*event != nullptr) {
      ::CloseHandle(*event);
      *event = nullptr;
    }
  }
}

void WaveInCaptureDevice::Run() {
  while (!started_.load() && !stopRequested_.load()) {
    ::WaitForSingleObject(controlEvent_, INFINITE);
  }
  if (stopRequested_.load()) {
    reporter_.Report(0, CaptureEnd::kStopped);
  } else if (!StartDevice()) {
    Finish(CaptureEnd::kFailed);
  } else {
    Capture();
  }
}

bool WaveInCaptureDevice::StartDevice() {
  for (std::size_t i = 0; i < headers_.size(); ++i) {
    if (::waveInAddBuffer(device_, &headers_[i], sizeof headers_[i]) != MMSYSERR_NOERROR) {
      return false;
    }
    withDevice_[i] = true;
  }
  return ::waveInStart(device_) == MMSYSERR_NOERROR;
}

void WaveInCaptureDevice::Capture() {
  const DWORD silentLimit = kSilentDeviceTimeoutMs;
  const HANDLE events[] = {controlEvent_, deviceEvent_};
  DWORD lastFilled = ::GetTickCount();
  while (!stopRequested_.load()) {
    bool failed = false;
    if (DeliverFilled(true, failed) > 0) {
      lastFilled = ::GetTickCount();
    }
    if (failed) {
      Finish(CaptureEnd::kFailed);
      return;
    }
    const DWORD silent = ::GetTickCount() - lastFilled;
    if (silent >= silentLimit) {
      Finish(CaptureEnd::kFailed);
      return;
    }
    ::WaitForMultipleObjects(2, events, FALSE, silentLimit - silent);
  }
  // Buffers filled while this thread was busy or asleep count as delivered
  // in time: only then is the device's silence judged.
  bool failed = false;
  if (DeliverFilled(true, failed) > 0) {
    lastFilled = ::GetTickCount();
  }
  const bool stalled = ::GetTickCount() - lastFilled >= kSilentAtStopMs;
  Finish(failed || stalled ? CaptureEnd::kFailed : CaptureEnd::kStopped);
}

std::size_t WaveInCaptureDevice::DeliverFilled(bool requeue, bool& failed) {
  std::size_t done = 0;
  while (done < headers_.size() && reporter_.queued() != nullptr) {
    WAVEHDR& header = headers_[next_];
    if ((header.dwFlags & WHDR_DONE) == 0) {
      break;
    }
    // Every buffer was filled and none was queued: whatever the device
    // captured meanwhile had nowhere to go.
    if (requeue && done == 0 && std::all_of(headers_.begin(), headers_.end(), [](const WAVEHDR& h) {
          return (h.dwFlags & WHDR_DONE) != 0;
        })) {
      reporter_.NoteLoss();
    }
    const std::uint32_t bytes =
        std::min(header.dwBytesRecorded, header.dwBufferLength) / frameBytes_ * frameBytes_;
    Deliver(reinterpret_cast<const std::uint8_t*>(header.lpData), bytes);
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    header.dwBytesRecorded = 0;
    withDevice_[next_] = false;
    const std::size_t delivered = next_;
    next_ = (next_ + 1) % headers_.size();
    ++done;
    if (requeue) {
      if (::waveInAddBuffer(device_, &header, sizeof header) != MMSYSERR_NOERROR) {
        failed = true;
        break;
      }
      withDevice_[delivered] = true;
    }
  }
  return done;
}

void WaveInCaptureDevice::Finish(CaptureEnd end) {
  // Reset marks every queued buffer done, the one being filled with the
  // frames it holds. A buffer the device had just taken off its queue when
  // reset came is marked done a moment later: wait for each one it holds,
  // so none is skipped and the buffers are delivered in order.
  ::waveInReset(device_);
  const DWORD resetAt = ::GetTickCount();
  const auto allBack = [this] {
    for (std::size_t i = 0; i < headers_.size(); ++i) {
      if (withDevice_[i] && (headers_[i].dwFlags & WHDR_DONE) == 0) {
        return false;
      }
    }
    return true;
  };
  while (!allBack()) {
    const DWORD waited = ::GetTickCount() - resetAt;
    if (waited >= kResetReturnTimeoutMs) {
      // The device kept a buffer: what it held is lost.
      reporter_.NoteLoss();
      break;
    }
    ::WaitForSingleObject(deviceEvent_, kResetReturnTimeoutMs - waited);
  }
  bool failed = false;
  DeliverFilled(false, failed);
  reporter_.Report(0, end);
}

void WaveInCaptureDevice::Deliver(const std::uint8_t* bytes, std::uint32_t size) {
  while (size > 0 && reporter_.queued() != nullptr) {
    const std::uint32_t part = std::min(size, reporter_.WholeFrameRoom(frameBytes_));
    if (part == 0) {
      return;
    }
    std::memcpy(reporter_.queued()->data, bytes, part);
    reporter_.Report(part, CaptureEnd::kNone);
    bytes += part;
    size -= part;
  }
}

}  // namespace

std::unique_ptr<CaptureDevice> WaveInCaptureSystem::Open(const CaptureFormat& format,
                                                         CaptureDoneCallback callback,
                                                         void* context) {
  if (!IsRecordableDepth(format.bitsPerSample) || format.sampleRate <= 0 ||
      format.blockAlign == 0) {
    return nullptr;
  }
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = format.channels;
  wave.nSamplesPerSec = static_cast<DWORD>(format.sampleRate);
  wave.nAvgBytesPerSec = format.averageBytesPerSecond;
  wave.nBlockAlign = format.blockAlign;
  wave.wBitsPerSample = static_cast<WORD>(format.bitsPerSample);
  wave.cbSize = 0;
  try {
    auto device = std::make_unique<WaveInCaptureDevice>(callback, context, format.blockAlign);
    if (device->Launch(wave)) {
      return device;
    }
  } catch (...) {
    // No memory or no thread: the device cannot be used. The destructor
    // has closed whatever was opened.
  }
  return nullptr;
}

}  // namespace orlesk
