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

// Checks that `audio` holds counters that only ever grow (modulo the
// frame's width), by 1 or, where frames were lost, by more. Returns how
// many frames were missing, those before the first one included.
std::uint64_t ExpectGrowingCounters(const test_support::Bytes& audio, unsigned frameBytes);

// Checks that the finished recording at `path` holds, in order, exactly the
// frames read from `microphone` (counters from 0), and some: all of them
// in a row, or, where the device overran (a busy machine kept the capture
// thread waiting for longer than its ring lasts), with no more missing
// than the overruns lost. Returns the device's counters.
paced_device::PacedDeviceReport ExpectEveryFrameReadInTheFile(const std::filesystem::path& path,
                                                              const PacedMicrophone& microphone,
                                                              unsigned frameBytes);

// What stop must return for a recording from the device with these
// counters: success, or audio lost where it overran.
std::int32_t StopStatusFor(const paced_device::PacedDeviceReport& counts);

}  // namespace recorder_test
