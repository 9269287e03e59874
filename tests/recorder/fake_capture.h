// A capture device for the tests: no sound card, a thread of its own like
// the real one, and audio the test can predict. Byte k of what a device
// delivers is PatternByte(k), counted from the device's open.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "capture_device.h"

namespace fake {

std::uint8_t PatternByte(std::uint64_t index);

class FakeCaptureDevice;

class FakeCaptureSystem final : public orlesk::CaptureSystem {
 public:
  std::unique_ptr<orlesk::CaptureDevice> Open(const orlesk::CaptureFormat& format,
                                              orlesk::CaptureDoneCallback callback,
                                              void* context) override;

  // Settings, before a start.
  bool refuseOpen = false;
  // Devices fill every queued buffer at once, as fast as they can, until
  // they have delivered freeRunningLimit bytes.
  bool freeRunning = false;
  std::uint64_t freeRunningLimit = UINT64_MAX;
  // What the device still holds when it is stopped: its last report
  // carries that many bytes (at most the buffer, in whole frames).
  std::uint32_t bytesAtStop = 0;

  // Observations. `device` is the open device, null once it is closed.
  int opens = 0;
  int closes = 0;
  orlesk::CaptureFormat lastFormat;
  FakeCaptureDevice* device = nullptr;
};

class FakeCaptureDevice final : public orlesk::CaptureDevice {
 public:
  FakeCaptureDevice(FakeCaptureSystem& system, orlesk::CaptureFormat format,
                    orlesk::CaptureDoneCallback callback, void* context);
  ~FakeCaptureDevice() override;

  void Queue(orlesk::CaptureBuffer& buffer) override;
  void Start() override;
  void Stop() override;
  void Close() override;

  // Has the device thread fill the queued buffer with the next `bytes` of
  // the pattern (at most the buffer's length) and report it, and waits until
  // the report returned. False when no buffer was queued.
  bool Deliver(std::uint32_t bytes, bool framesLostBefore = false);
  // Delivers as Deliver does in the device's last report: it has failed.
  bool Fail(std::uint32_t bytes);

  std::uint32_t queuedLength();
  int queueCount();

 private:
  void Run();
  struct Request {
    std::uint32_t bytes;
    bool framesLost;
    orlesk::CaptureEnd end;
  };
  bool Ask(const Request& request);
  // Takes the queued buffer, fills it, reports it; `lock` is released
  // around the report so that the report can queue again.
  void Report(std::unique_lock<std::mutex>& lock, const Request& request);

  FakeCaptureSystem& system_;
  orlesk::CaptureFormat format_;
  orlesk::CaptureDoneCallback callback_;
  void* context_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  orlesk::CaptureBuffer* queued_ = nullptr;
  int queueCount_ = 0;
  bool stopping_ = false;
  bool failed_ = false;
  bool closed_ = false;
  std::deque<Request> requests_;
  std::uint64_t requestsDone_ = 0;
  std::uint64_t requestsMade_ = 0;
  bool lastRequestDelivered_ = false;
  std::uint64_t produced_ = 0;
};

}  // namespace fake
