#include "recording_writer.h"

#include <algorithm>

#include "quiet_thread.h"

namespace orlesk {

void RecordingWriter::Launch() {
  thread_ = common::StartThreadWithoutSignals([this] { Run(); });
}

bool RecordingWriter::Finish() {
  queue_.Finish();
  if (thread_.joinable()) {
    thread_.join();
  }
  return !writeFailed_;
}

void RecordingWriter::WriteOut(std::size_t size) {
  while (size > 0) {
    const std::span<const std::uint8_t> piece = queue_.Front();
    const std::size_t taken = std::min(size, piece.size());
    if (taken == 0) {
      return;
    }
    if (!writeFailed_ && !file_.Append(piece.data(), taken)) {
      writeFailed_ = true;
    }
    queue_.Pop(taken);
    size -= taken;
  }
}

void RecordingWriter::Run() {
  using Clock = std::chrono::steady_clock;
  Clock::time_point sizesWritten = Clock::now();
  std::uint64_t sizesCover = 0;
  for (;;) {
    const bool finished = queue_.Wait(kWriterWakeInterval);
    // Only what waits now: under a steady stream the loop must come round
    // to the sizes, not write for ever.
    WriteOut(queue_.Waiting());
    if (finished) {
      return;
    }
    const Clock::time_point now = Clock::now();
    if (!writeFailed_ && file_.dataBytes() != sizesCover &&
        now - sizesWritten >= kSizeUpdateInterval) {
      file_.WriteWavSizes();
      sizesCover = file_.dataBytes();
      sizesWritten = now;
    }
  }
}

}  // namespace orlesk
