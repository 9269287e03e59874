// What the device saw, written at close so that a test can check it:
//
//   frames_arrived 16000     frames that entered the ring buffer
//   frames_read 15199        frames the application took out
//   frames_lost 801          frames thrown away by overruns
//   overruns 1
//
// Frames that arrived but were neither read nor lost to an overrun were
// still in the ring when the stream was stopped, reset or closed, or when
// the device failed.
#pragma once

#include <cstdint>
#include <string>

namespace paced_device {

struct CaptureCounts {
  std::uint64_t framesArrived = 0;
  std::uint64_t framesRead = 0;
  std::uint64_t framesLost = 0;
  std::uint64_t overruns = 0;
};

// Replaces the file at `path`. 0 or -errno.
int WriteCaptureReport(const std::string& path, const CaptureCounts& counts);

}  // namespace paced_device
