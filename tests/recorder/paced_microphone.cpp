#include "paced_microphone.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

std::uint64_t ExpectGrowingCounters(const test_support::Bytes& audio) {
  EXPECT_EQ(audio.size() % 4, 0u);
  const std::size_t frames = audio.size() / 4;
  if (frames == 0) {
    return 0;
  }
  EXPECT_EQ(paced_device::CounterOf(audio, 0, 4), 0u);
  std::uint64_t missing = 0;
  for (std::size_t i = 1; i < frames; ++i) {
    const std::uint64_t previous = paced_device::CounterOf(audio, i - 1, 4);
    const std::uint64_t current = paced_device::CounterOf(audio, i, 4);
    if (current <= previous) {
      ADD_FAILURE() << "frame " << i << " holds " << current << " after " << previous;
      break;
    }
    missing += current - previous - 1;
  }
  return missing;
}

paced_device::PacedDeviceReport ExpectEveryFrameReadInTheFile(const std::filesystem::path& path,
                                                              const PacedMicrophone& microphone,
                                                              unsigned frameBytes) {
  const std::size_t frames =
      ExpectConsecutiveCounters(ExpectFinishedRecording(path, frameBytes), frameBytes);
  const std::optional<paced_device::PacedDeviceReport> counts = microphone.report();
  EXPECT_TRUE(counts) << "the device left no report at close";
  if (!counts) {
    return {};
  }
  EXPECT_EQ(frames, counts->framesRead) << "frames read from the device never reached the file";
  EXPECT_GT(frames, 0u);
  return *counts;
}

}  // namespace recorder_test
