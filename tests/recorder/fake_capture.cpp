#include "fake_capture.h"

#include <algorithm>

namespace fake {

std::uint8_t PatternByte(std::uint64_t index) {
  // Not periodic over any report size the tests use, so a report written
  // twice, dropped or out of order shows.
  return static_cast<std::uint8_t>((index * 7) ^ (index >> 8) ^ (index >> 16));
}

std::unique_ptr<orlesk::CaptureDevice> FakeCaptureSystem::Open(
    const orlesk::CaptureFormat& format, orlesk::CaptureDoneCallback callback, void* context) {
  lastFormat = format;
  if (refuseOpen) {
    return nullptr;
  }
  ++opens;
  auto opened = std::make_unique<FakeCaptureDevice>(*this, format, callback, context);
  device = opened.get();
  return opened;
}

FakeCaptureDevice::FakeCaptureDevice(FakeCaptureSystem& system, orlesk::CaptureFormat format,
                                     orlesk::CaptureDoneCallback callback, void* context)
    : system_(system), format_(format), callback_(callback), context_(context) {}

FakeCaptureDevice::~FakeCaptureDevice() { Close(); }

void FakeCaptureDevice::Queue(orlesk::CaptureBuffer& buffer) {
  const std::lock_guard lock(mutex_);
  queued_ = &buffer;
  ++queueCount_;
  changed_.notify_all();
}

void FakeCaptureDevice::Start() { thread_ = std::thread(&FakeCaptureDevice::Run, this); }

void FakeCaptureDevice::Stop() {
  const std::lock_guard lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
}

void FakeCaptureDevice::Close() {
  if (closed_) {
    return;
  }
  Stop();
  if (thread_.joinable()) {
    thread_.join();
  }
  closed_ = true;
  ++system_.closes;
  if (system_.device == this) {
    system_.device = nullptr;
  }
}

bool FakeCaptureDevice::Deliver(std::uint32_t bytes, bool framesLostBefore) {
  return Ask({bytes, framesLostBefore, orlesk::CaptureEnd::kNone});
}

bool FakeCaptureDevice::Fail(std::uint32_t bytes) {
  return Ask({bytes, false, orlesk::CaptureEnd::kFailed});
}

bool FakeCaptureDevice::Ask(const Request& request) {
  std::unique_lock lock(mutex_);
  requests_.push_back(request);
  const std::uint64_t ticket = ++requestsMade_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return requestsDone_ >= ticket || stopping_; });
  return requestsDone_ >= ticket && lastRequestDelivered_;
}

std::uint32_t FakeCaptureDevice::queuedLength() {
  const std::lock_guard lock(mutex_);
  return queued_ != nullptr ? queued_->length : 0;
}

int FakeCaptureDevice::queueCount() {
  const std::lock_guard lock(mutex_);
  return queueCount_;
}

void FakeCaptureDevice::Report(std::unique_lock<std::mutex>& lock, const Request& request) {
  orlesk::CaptureBuffer& buffer = *queued_;
  queued_ = nullptr;
  const std::uint32_t bytes = std::min(request.bytes, buffer.length);
  for (std::uint32_t i = 0; i < bytes; ++i) {
    buffer.data[i] = PatternByte(produced_ + i);
  }
  produced_ += bytes;
  buffer.bytesRecorded = bytes;
  buffer.framesLost = request.framesLost;
  buffer.end = request.end;
  failed_ = failed_ || request.end == orlesk::CaptureEnd::kFailed;
  lock.unlock();
  callback_(buffer, context_);
  lock.lock();
}

void FakeCaptureDevice::Run() {
  std::unique_lock lock(mutex_);
  const std::uint32_t frame = std::max<std::uint32_t>(1, format_.blockAlign);
  while (!stopping_) {
    if (system_.freeRunning && !failed_) {
      const std::uint64_t left =
          system_.freeRunningLimit - std::min(system_.freeRunningLimit, produced_);
      if (queued_ != nullptr && left > 0) {
        const std::uint64_t bytes = std::min<std::uint64_t>(queued_->length, left);
        Report(lock, {static_cast<std::uint32_t>(bytes) / frame * frame, false,
                      orlesk::CaptureEnd::kNone});
      } else {
        changed_.wait(lock, [&] { return (queued_ != nullptr && left > 0) || stopping_; });
      }
      continue;
    }
    changed_.wait(lock, [&] { return !requests_.empty() || stopping_; });
    if (requests_.empty()) {
      break;
    }
    const Request request = requests_.front();
    requests_.pop_front();
    lastRequestDelivered_ = queued_ != nullptr && !failed_;
    if (lastRequestDelivered_) {
      Report(lock, request);
    }
    ++requestsDone_;
    changed_.notify_all();
  }
  // Stopping hands the buffer back with the audio the device still held.
  if (queued_ != nullptr && !failed_) {
    const std::uint32_t held = std::min(system_.bytesAtStop, queued_->length) / frame * frame;
    Report(lock, {held, false, orlesk::CaptureEnd::kStopped});
  }
}

}  // namespace fake
