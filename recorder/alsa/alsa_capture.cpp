#include "alsa_capture.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <thread>
#include <vector>

#include "alsa_pcm_setup.h"

namespace orlesk {

namespace {

// One PCM read by one thread. The caller's thread opens and configures the
// PCM, the capture thread alone uses it while it runs, and the caller closes
// it only after joining that thread: ALSA never sees two threads on the
// handle at once. Start and Stop set a flag, then signal an eventfd that the
// capture thread polls next to the PCM.
class AlsaCaptureDevice final : public CaptureDevice {
 public:
  AlsaCaptureDevice(CapturePcm capture, CaptureDoneCallback callback, void* context)
      : capture_(std::move(capture)), callback_(callback), context_(context) {}
  ~AlsaCaptureDevice() override { Close(); }
  AlsaCaptureDevice(const AlsaCaptureDevice&) = delete;
  AlsaCaptureDevice& operator=(const AlsaCaptureDevice&) = delete;

  // Starts the capture thread, which waits for Start or Stop. False, or
  // std::system_error, when it cannot.
  bool Launch();

  void Queue(CaptureBuffer& buffer) override { queued_ = &buffer; }
  void Start() override;
  void Stop() override;
  void Close() override;

 private:
  void Run();
  // Reads reports until stopped; returns the bytes already in the queued
  // buffer at that moment.
  std::uint32_t Capture();
  void Report(std::uint32_t bytes);
  void Wake();
  // Polls `count` descriptors at the end of the set (the eventfd alone, or
  // the PCM's too) for up to `timeout` ms (-1: no limit), and consumes a
  // wake-up. Every wake-up follows its flag, so the caller's next look at
  // the flags sees what it was for.
  void Wait(std::size_t count, int timeoutMilliseconds);

  CapturePcm capture_;
  CaptureDoneCallback callback_;
  void* context_;
  int wakeDescriptor_ = -1;
  std::vector<pollfd> pollDescriptors_;  // the PCM's, then the eventfd
  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> stopRequested_{false};
  // Set before Start on the caller's thread, then only by the capture thread
  // (from inside a report); the started_ flag orders the two.
  CaptureBuffer* queued_ = nullptr;
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

  // The thread takes no signals: they belong to the host's threads.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    thread_ = std::thread(&AlsaCaptureDevice::Run, this);
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
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
  std::uint32_t filled = 0;
  if (!stopRequested_.load()) {
    snd_pcm_start(capture_.pcm.get());
    filled = Capture();
  }
  snd_pcm_drop(capture_.pcm.get());
  // Hand a still-queued buffer back, as a reset does; the recorder has
  // cleared its flag by now and writes none of it.
  if (queued_ != nullptr) {
    Report(filled);
  }
}

std::uint32_t AlsaCaptureDevice::Capture() {
  snd_pcm_t* pcm = capture_.pcm.get();
  const unsigned frameBytes = capture_.frameBytes;
  std::uint32_t filled = 0;  // bytes of whole frames in the queued buffer
  while (!stopRequested_.load()) {
    if (queued_ == nullptr) {
      Wait(1, -1);
      continue;
    }
    // Each report carries whole frames only: floor(length / frame) of them.
    const std::uint32_t reportBytes = queued_->length / frameBytes * frameBytes;
    const snd_pcm_sframes_t frames =
        snd_pcm_readi(pcm, queued_->data + filled, (reportBytes - filled) / frameBytes);
    if (frames > 0) {
      filled += static_cast<std::uint32_t>(frames) * frameBytes;
      if (filled == reportBytes) {
        filled = 0;
        Report(reportBytes);
      }
    } else if (frames == -EAGAIN) {
      Wait(pollDescriptors_.size(), -1);
    } else if (frames == 0) {
      // Ready yet empty (a file-backed source that ran dry): wait a period
      // rather than spin.
      Wait(1, capture_.periodMilliseconds);
    } else if (snd_pcm_recover(pcm, static_cast<int>(frames), 1) == 0) {
      // An overrun or a suspend: the ring was reset, capture goes on.
      snd_pcm_start(pcm);
    } else {
      // The device is gone; wait to be stopped.
      Wait(1, -1);
    }
  }
  return filled;
}

void AlsaCaptureDevice::Report(std::uint32_t bytes) {
  CaptureBuffer& buffer = *queued_;
  queued_ = nullptr;
  buffer.bytesRecorded = bytes;
  callback_(buffer, context_);
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
