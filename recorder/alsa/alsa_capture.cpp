#include "alsa_capture.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "alsa_pcm_setup.h"
#include "capture_reporter.h"
#include "quiet_thread.h"

namespace orlesk {

namespace {

using Clock = std::chrono::steady_clock;

// One PCM read by one thread. The caller's thread opens and configures the
// PCM, the capture thread alone uses it while it runs, and the caller closes
// it only after joining that thread: ALSA never sees two threads on the
// handle at once. Start and Stop set a flag, then signal an eventfd that the
// capture thread polls next to the PCM.
class AlsaCaptureDevice final : public CaptureDevice {
 public:
  AlsaCaptureDevice(CapturePcm capture, CaptureDoneCallback callback, void* context)
      : capture_(std::move(capture)), reporter_(callback, context) {}
  ~AlsaCaptureDevice() override { Close(); }
  AlsaCaptureDevice(const AlsaCaptureDevice&) = delete;
  AlsaCaptureDevice& operator=(const AlsaCaptureDevice&) = delete;

  // Starts the capture thread, which waits for Start or Stop. False, or
  // std::system_error, when it cannot.
  bool Launch();

  void Queue(CaptureBuffer& buffer) override { reporter_.Queue(buffer); }
  void Start() override;
  void Stop() override;
  void Close() override;

 private:
  void Run();
  // Reads reports until stopped, or until the device fails.
  void Capture();
  // At stop: reads what the ring holds now, then makes the last report.
  void Drain();
  // Reads frames into the queued buffer after the `filled_` bytes already
  // there, at most `frames`, and reports it once full. The read's result.
  snd_pcm_sframes_t ReadIntoBuffer(snd_pcm_uframes_t frames);
  // Handles an error a read returned: an overrun or a suspend is recovered
  // (the frames are lost), anything else ends capture. False when it did.
  bool Recover(snd_pcm_sframes_t error);
  void Report(std::uint32_t bytes, CaptureEnd end);
  void Wake();
  // Polls `count` descriptors at the end of the set (the eventfd alone, or
  // the PCM's too) for up to `timeout` ms (-1: no limit), and consumes a
  // wake-up. Every wake-up follows its flag, so the caller's next look at
  // the flags sees what it was for.
  void Wait(std::size_t count, int timeoutMilliseconds);

  CapturePcm capture_;
  CaptureReporter reporter_;
  int wakeDescriptor_ = -1;
  std::vector<pollfd> pollDescriptors_;  // the PCM's, then the eventfd
  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> stopRequested_{false};
  // Capture thread only: bytes of whole frames in the queued buffer.
  std::uint32_t filled_ = 0;
};

bool AlsaCaptureDevice::Launch() {
  wakeDescriptor_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeDescriptor_ < 0) {
    return false;
  }
  snd_pcm_t* pcm = capture_.pcm.get();
  const int count = snd_pcm_poll_descriptors_count(pcm);
  if (count < 0) {
    return false;
  }
  pollDescriptors_.resize(static_cast<std::size_t>(count) + 1);
  const int filled =
      snd_pcm_poll_descriptors(pcm, pollDescriptors_.data(), static_cast<unsigned>(count));
  if (filled < 0) {
    return false;
  }
  pollDescriptors_.resize(static_cast<std::size_t>(filled) + 1);
  pollDescriptors_.back() = pollfd{wakeDescriptor_, POLLIN, 0};
  thread_ = common::StartThreadWithoutSignals([this] { Run(); });
  return true;
}

void AlsaCaptureDevice::Start() {
  started_.store(true);
  Wake();
}

void AlsaCaptureDevice::Stop() {
  stopRequested_.store(true);
  Wake();
}

void AlsaCaptureDevice::Close() {
  if (thread_.joinable()) {
    Stop();
    thread_.join();
  }
  capture_.pcm.reset();
  if (wakeDescriptor_ >= 0) {
    ::close(wakeDescriptor_);
    wakeDescriptor_ = -1;
  }
}

void AlsaCaptureDevice::Wake() {
  const std::uint64_t one = 1;
  // An eventfd write fails only when its counter is already huge, and then
  // the thread is woken anyway.
  [[maybe_unused]] const ssize_t written = ::write(wakeDescriptor_, &one, sizeof one);
}

void AlsaCaptureDevice::Wait(std::size_t count, int timeoutMilliseconds) {
  pollfd* first = pollDescriptors_.data() + pollDescriptors_.size() - count;
  pollDescriptors_.back().revents = 0;
  const int ready = ::poll(first, count, timeoutMilliseconds);
  if (ready > 0 && count == pollDescriptors_.size()) {
    // Plugins (PulseAudio's, for one) keep their descriptors' state up to
    // date only when asked to translate the events.
    unsigned short events = 0;
    snd_pcm_poll_descriptors_revents(capture_.pcm.get(), pollDescriptors_.data(),
                                     static_cast<unsigned>(count - 1), &events);
  }
  if ((pollDescriptors_.back().revents & POLLIN) != 0) {
    std::uint64_t wakeUps = 0;
    [[maybe_unused]] const ssize_t drained = ::read(wakeDescriptor_, &wakeUps, sizeof wakeUps);
  }
}

void AlsaCaptureDevice::Run() {
  const SilentAlsaErrors silence;
  while (!started_.load() && !stopRequested_.load()) {
    Wait(1, -1);
  }
  if (stopRequested_.load()) {
    Report(0, CaptureEnd::kStopped);
  } else if (snd_pcm_start(capture_.pcm.get()) < 0) {
    Report(0, CaptureEnd::kFailed);
  } else {
    Capture();
  }
  snd_pcm_drop(capture_.pcm.get());
}

void AlsaCaptureDevice::Capture() {
  const auto silentLimit = std::max<std::chrono::milliseconds>(
      kSilentDeviceTimeout, std::chrono::milliseconds(4 * capture_.periodMilliseconds));
  Clock::time_point lastFrames = Clock::now();
  while (!stopRequested_.load()) {
    if (reporter_.queued() == nullptr) {
      // The report kept the buffer; nothing can be read until it is back.
      Wait(1, capture_.periodMilliseconds);
      continue;
    }
    const snd_pcm_sframes_t frames = ReadIntoBuffer(capture_.ringFrames);
    if (frames > 0) {
      lastFrames = Clock::now();
      continue;
    }
    if (frames < 0 && frames != -EAGAIN) {
      if (!Recover(frames)) {
        return;
      }
      // The stream starts afresh: its first frames are a period away.
      lastFrames = Clock::now();
      continue;
    }
    const Clock::duration silent = Clock::now() - lastFrames;
    if (silent >= silentLimit) {
      Report(filled_, CaptureEnd::kFailed);
      return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(silentLimit - silent);
    if (frames == -EAGAIN) {
      Wait(pollDescriptors_.size(), static_cast<int>(left.count()));
    } else {
      // Ready yet empty (a file-backed source that ran dry): wait a period
      // rather than spin.
      Wait(1, static_cast<int>(std::min<std::int64_t>(left.count(),
                                                      capture_.periodMilliseconds)));
    }
  }
  Drain();
}

void AlsaCaptureDevice::Drain() {
  // What the ring holds at this moment was captured before Stop (give or
  // take the moments the thread took to notice); nothing after it is read.
  // A plugin may claim a whole ring, so no more than that is asked for.
  snd_pcm_sframes_t result = snd_pcm_avail_update(capture_.pcm.get());
  auto left = std::min(static_cast<snd_pcm_uframes_t>(std::max<snd_pcm_sframes_t>(result, 0)),
                       capture_.ringFrames);
  while (left > 0 && reporter_.queued() != nullptr) {
    result = ReadIntoBuffer(left);
    if (result <= 0) {
      break;
    }
    left -= static_cast<snd_pcm_uframes_t>(result);
  }
  // An overrun just before the stop lost frames; any other error means the
  // device failed, whether or not capture had noticed yet.
  const bool overrun = result == -EPIPE || result == -ESTRPIPE;
  if (overrun) {
    reporter_.NoteLoss();
  }
  const bool failed = result < 0 && result != -EAGAIN && !overrun;
  Report(filled_, failed ? CaptureEnd::kFailed : CaptureEnd::kStopped);
}

snd_pcm_sframes_t AlsaCaptureDevice::ReadIntoBuffer(snd_pcm_uframes_t frames) {
  const unsigned frameBytes = capture_.frameBytes;
  // Each report carries whole frames only: floor(length / frame) of them.
  const std::uint32_t reportBytes = reporter_.WholeFrameRoom(frameBytes);
  const snd_pcm_uframes_t room = (reportBytes - filled_) / frameBytes;
  const snd_pcm_sframes_t read =
      snd_pcm_readi(capture_.pcm.get(), reporter_.queued()->data + filled_, std::min(frames, room));
  if (read > 0) {
    filled_ += static_cast<std::uint32_t>(read) * frameBytes;
    if (filled_ == reportBytes) {
      Report(reportBytes, CaptureEnd::kNone);
    }
  }
  return read;
}

bool AlsaCaptureDevice::Recover(snd_pcm_sframes_t error) {
  snd_pcm_t* pcm = capture_.pcm.get();
  // An overrun or a suspend resets the ring: what it held is gone.
  // Anything recover cannot mend (the device is gone, its server died)
  // ends capture with what the buffer already holds.
  if (snd_pcm_recover(pcm, static_cast<int>(error), 1) == 0 && snd_pcm_start(pcm) >= 0) {
    if (error == -EPIPE || error == -ESTRPIPE) {
      reporter_.NoteLoss();
    }
    return true;
  }
  Report(filled_, CaptureEnd::kFailed);
  return false;
}

void AlsaCaptureDevice::Report(std::uint32_t bytes, CaptureEnd end) {
  // The report may queue the buffer again at once: it starts empty.
  filled_ = 0;
  reporter_.Report(bytes, end);
}

}  // namespace

std::unique_ptr<CaptureDevice> AlsaCaptureSystem::Open(const CaptureFormat& format,
                                                       CaptureDoneCallback callback,
                                                       void* context) {
  const SilentAlsaErrors silence;
  CapturePcm capture = OpenCapturePcm(format);
  if (!capture.pcm) {
    return nullptr;
  }
  try {
    auto device = std::make_unique<AlsaCaptureDevice>(std::move(capture), callback, context);
    if (device->Launch()) {
      return device;
    }
  } catch (...) {
    // No memory or no thread: the device cannot be used. Whatever was made
    // has been closed by now.
  }
  return nullptr;
}

}  // namespace orlesk
