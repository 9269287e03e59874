#include "paced_microphone.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "orlesk.h"

namespace recorder_test {

PacedMicrophone::PacedMicrophone(paced_device::PacedDeviceOptions options) {
  options.report = folder_ / "report.txt";
  const std::filesystem::path config =
      paced_device::WritePacedDeviceConfig(folder_.path(), PACED_PLUGIN_PATH, options);
  ::setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
}

PacedMicrophone::~PacedMicrophone() { ::unsetenv("ALSA_CONFIG_PATH"); }

std::optional<paced_device::PacedDeviceReport> PacedMicrophone::report() const {
  return paced_device::ReadPacedDeviceReport(folder_ / "report.txt");
}

paced_device::PacedDeviceOptions AtSpeed(double speed) {
  paced_device::PacedDeviceOptions options;
  options.speed = speed;
  return options;
}

std::size_t ExpectConsecutiveCounters(const test_support::Bytes& audio, unsigned frameBytes) {
  EXPECT_EQ(audio.size() % frameBytes, 0u);
  const std::size_t frames = audio.size() / frameBytes;
  const std::uint64_t mask = frameBytes >= 8 ? ~std::uint64_t{0}
                                             : (std::uint64_t{1} << (8 * frameBytes)) - 1;
  for (std::size_t i = 0; i < frames; ++i) {
    if (paced_device::CounterOf(audio, i, frameBytes) != (i & mask)) {
      ADD_FAILURE() << "frame " << i << " holds " << paced_device::CounterOf(audio, i, frameBytes);
      break;
    }
  }
  return frames;
}

std::uint64_t ExpectGrowingCounters(const test_support::Bytes& audio, unsigned frameBytes) {
  EXPECT_EQ(audio.size() % frameBytes, 0u);
  const std::size_t frames = audio.size() / frameBytes;
  if (frames == 0) {
    return 0;
  }
  const std::uint64_t mask = frameBytes >= 8 ? ~std::uint64_t{0}
                                             : (std::uint64_t{1} << (8 * frameBytes)) - 1;
  // Frames lost before the first one read are missing too.
  std::uint64_t missing = paced_device::CounterOf(audio, 0, frameBytes);
  for (std::size_t i = 1; i < frames; ++i) {
    const std::uint64_t previous = paced_device::CounterOf(audio, i - 1, frameBytes);
    const std::uint64_t current = paced_device::CounterOf(audio, i, frameBytes);
    const std::uint64_t step = (current - previous) & mask;
    if (step == 0) {
      ADD_FAILURE() << "frame " << i << " holds " << current << " after " << previous;
      break;
    }
    missing += step - 1;
  }
  return missing;
}

paced_device::PacedDeviceReport ExpectEveryFrameReadInTheFile(const std::filesystem::path& path,
                                                              const PacedMicrophone& microphone,
                                                              unsigned frameBytes) {
  const test_support::Bytes audio = ExpectFinishedRecording(path, frameBytes);
  const std::optional<paced_device::PacedDeviceReport> counts = microphone.report();
  EXPECT_TRUE(counts) << "the device left no report at close";
  if (!counts) {
    return {};
  }
  const std::size_t frames = audio.size() / frameBytes;
  if (counts->overruns == 0) {
    ExpectConsecutiveCounters(audio, frameBytes);
  } else {
    EXPECT_LE(ExpectGrowingCounters(audio, frameBytes), counts->framesLost)
        << "frames are missing where the device did not overrun";
  }
  EXPECT_EQ(frames, counts->framesRead) << "frames read from the device never reached the file";
  EXPECT_GT(frames, 0u);
  return *counts;
}

std::int32_t StopStatusFor(const paced_device::PacedDeviceReport& counts) {
  return counts.overruns == 0 ? ORLESK_SUCCESS : ORLESK_ERROR_AUDIO_LOST;
}

}  // namespace recorder_test
