// The paced capture device (instruments/paced_device) as the "default" PCM of
// this process and of the commands it starts: frames arrive in real time ×
// speed from the start of capture, an unread ring overruns, and the device
// can fail for good, as a sound card would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "paced_device.h"
#include "recorder_test_support.h"

namespace recorder_test {

class PacedMicrophone {
 public:
  // Writes the device's configuration, with a report at close, and points
  // ALSA_CONFIG_PATH at it (alsa-lib reads it again at the next open).
  explicit PacedMicrophone(paced_device::PacedDeviceOptions options);
  ~PacedMicrophone();
  PacedMicrophone(const PacedMicrophone&) = delete;
  PacedMicrophone& operator=(const PacedMicrophone&) = delete;

  // What the device counted when it was last closed.
  std::optional<paced_device::PacedDeviceReport> report() const;
  std::filesystem::path operator/(const std::string& name) const { return folder_ / name; }

 private:
  test_support::ScratchFolder folder_;
};

// The device's options for frame counters delivered at `speed` × real time.
paced_device::PacedDeviceOptions AtSpeed(double speed);

// Checks that `audio` is whole frames of counters 0, 1, 2, ... cut to the
// frame's width, with none missing. Returns the frame count.
std::size_t ExpectConsecutiveCounters(const test_support::Bytes& audio, unsigned frameBytes);

// Checks that `audio` (32-bit frames) holds counters that start at 0 and
// only ever grow, by 1 or, where frames were lost, by more. Returns how
// many frames were missing.
std::uint64_t ExpectGrowingCounters(const test_support::Bytes& audio);

// Checks that the finished recording at `path` holds, in order, exactly the
// frames read from `microphone` (counters from 0), and some. Returns the
// device's counters.
paced_device::PacedDeviceReport ExpectEveryFrameReadInTheFile(const std::filesystem::path& path,
                                                              const PacedMicrophone& microphone,
                                                              unsigned frameBytes);

}  // namespace recorder_test
