// A capture device for tests that behaves like a sound card: alsa-lib's
// "paced" plugin (libasound_module_pcm_paced.so). These helpers write its
// configuration and read the report it leaves at close.
//
// Point ALSA_CONFIG_PATH at the written file before alsa-lib is first used
// in the process (or in wine's environment); alsa.conf is then not read, so
// the file names the plugin's library itself:
//
//   pcm_type.paced { lib "/abs/libasound_module_pcm_paced.so" }
//   pcm.!default {
//     type paced
//     file "/abs/input.raw"      # bytes to deliver; none: frame counters
//     offset 44                  # first byte delivered
//     loop false                 # silence (zero bytes) after the end
//     speed 10.000               # multiple of real time, 0.001 to 1000
//     fail_after_frames 8000     # fails for good (-ENODEV) after so many
//     wake_until_frames 2000     # no poll wake-up after so many, not even
//                                # for an overrun
//     lock "/abs/device.lock"    # a second open gets -EBUSY
//     report "/abs/report.txt"   # counters written at close
//   }
//
// The device captures only: U8, S16_LE, S24_3LE, S32_LE or FLOAT_LE, 1 or
// 2 channels, 1 Hz to 384 kHz, interleaved read or mmap access. Frames
// arrive at rate × speed from snd_pcm_start; a frame that arrives while the
// ring is full overruns (-EPIPE) and the ring and that frame are lost. The
// source moves only while the stream runs, so after a recovery capture goes
// on with the frame after the lost ones. Without a file, frame n holds n as
// a little-endian number cut to the frame's width (S16_LE mono: n mod
// 65536; S32_LE stereo: all 64 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace paced_device {

struct PacedDeviceOptions {
  std::string pcmName = "default";
  std::filesystem::path file;  // empty: frame counters
  std::uint64_t offset = 0;
  bool loop = false;
  double speed = 1.0;  // whole thousandths, 0.001 to 1000
  std::optional<std::uint64_t> failAfterFrames;
  std::optional<std::uint64_t> wakeUntilFrames;
  std::filesystem::path lock;    // empty: any number of opens
  std::filesystem::path report;  // empty: no report
};

// Writes `folder`/asound.conf with the plugin at `plugin` (an absolute
// path) as the PCM `options.pcmName`, and returns its path. Throws
// std::invalid_argument for a speed out of range or finer than 0.001, and
// std::runtime_error when the file cannot be written.
std::filesystem::path WritePacedDeviceConfig(const std::filesystem::path& folder,
                                             const std::filesystem::path& plugin,
                                             const PacedDeviceOptions& options);

// The counters the device writes at close (see paced_report.h).
struct PacedDeviceReport {
  std::uint64_t framesArrived = 0;
  std::uint64_t framesRead = 0;
  std::uint64_t framesLost = 0;  // to overruns
  std::uint64_t overruns = 0;
};

// Nothing when the report is missing or incomplete.
std::optional<PacedDeviceReport> ReadPacedDeviceReport(const std::filesystem::path& report);

// The frames the device delivers without a file, from frame `first` on:
// frame n carries n, little-endian, cut to the frame's width.
std::vector<std::uint8_t> CounterFrames(std::uint64_t first, std::size_t count,
                                        unsigned frameBytes);
// The number counter frame `index` of `frames` carries (its first 8 bytes
// at most).
std::uint64_t CounterOf(const std::vector<std::uint8_t>& frames, std::size_t index,
                        unsigned frameBytes);

}  // namespace paced_device
