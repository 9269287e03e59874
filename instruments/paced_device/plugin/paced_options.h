// The settings of one paced device, from its PCM definition:
//
//   pcm.NAME {
//     type paced
//     file "PATH"               # the bytes to deliver; none: frame counters
//     offset 44                 # where in the file delivery starts (bytes)
//     loop true                 # at the end of the file, go on from offset
//     speed 10                  # multiple of real time, up to 3 decimals
//     fail_after_frames 8000    # the device fails for good after so many
//     wake_until_frames 2000    # its interrupts stop after so many
//     lock "PATH"               # one open at a time, across processes
//     report "PATH"             # counters written at close
//   }
#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>
#include <optional>
#include <string>

namespace paced_device {

struct PacedOptions {
  std::string file;  // empty: frame n carries n, little-endian
  std::uint64_t offset = 0;
  bool loop = false;
  std::uint32_t speedThousandths = 1000;
  std::optional<std::uint64_t> failAfterFrames;
  std::optional<std::uint64_t> wakeUntilFrames;
  std::string lockPath;
  std::string reportPath;
};

// Reads the options from the PCM's definition. 0, or -EINVAL with the
// reason reported through alsa-lib's error handler.
int ParsePacedOptions(snd_config_t* definition, PacedOptions& options);

// "10", "0.5", "1.250": a plain decimal with at most three decimals, from
// 0.001 to 1000. Nothing for anything else.
std::optional<std::uint32_t> ParseSpeedThousandths(const std::string& text);

}  // namespace paced_device
