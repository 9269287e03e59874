// The caller's side of a capture layer: the one buffer the caller has
// queued, and whether frames were lost since the last report. Every layer
// reports through one, on its capture thread (the first buffer is queued
// before Start, which orders it before that thread's use).
#pragma once

#include <cstdint>

#include "capture_device.h"

namespace orlesk {

class CaptureReporter {
 public:
  CaptureReporter(CaptureDoneCallback callback, void* context)
      : callback_(callback), context_(context) {}

  void Queue(CaptureBuffer& buffer) { queued_ = &buffer; }
  // The buffer to fill; null while the caller holds it (after a last
  // report, or a report that kept it).
  CaptureBuffer* queued() const { return queued_; }
  // Bytes of whole frames of `frameBytes` the queued buffer holds; a
  // buffer must be queued.
  std::uint32_t WholeFrameRoom(std::uint32_t frameBytes) const {
    return queued_->length / frameBytes * frameBytes;
  }
  // Frames were lost: the next report says so.
  void NoteLoss() { framesLost_ = true; }

  // Hands the queued buffer to the caller with `bytes` of whole frames at
  // its start. Nothing happens when no buffer is queued.
  void Report(std::uint32_t bytes, CaptureEnd end) {
    if (queued_ == nullptr) {
      return;
    }
    CaptureBuffer& buffer = *queued_;
    queued_ = nullptr;
    buffer.bytesRecorded = bytes;
    buffer.framesLost = framesLost_;
    buffer.end = end;
    framesLost_ = false;
    callback_(buffer, context_);
  }

 private:
  CaptureDoneCallback callback_;
  void* context_;
  CaptureBuffer* queued_ = nullptr;
  bool framesLost_ = false;
};

}  // namespace orlesk
