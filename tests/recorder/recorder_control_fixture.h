// The recording control on the fake device, as its tests set it up: a
// recorder over a fake capture system, in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "fake_capture.h"
#include "recorder.h"
#include "recorder_test_support.h"

namespace recorder_test {

inline std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = fake::PatternByte(i);
  }
  return bytes;
}

// A finished recording: sizes that match the file, and the device's audio.
inline void ExpectFinishedWav(const std::filesystem::path& path, std::size_t audioBytes) {
  const std::vector<std::uint8_t> file = test_support::ReadWholeFile(path);
  ASSERT_EQ(file.size(), 44 + audioBytes) << path;
  EXPECT_EQ(test_support::Le32At(file, 40), audioBytes);
  EXPECT_EQ(test_support::Le32At(file, 4), audioBytes + 36);
  EXPECT_EQ(AudioOf(file), Pattern(audioBytes));
}

// A clock that moves only when a test moves it: the fake device delivers
// only when asked, and must not seem to lag the real clock on a slow
// machine.
struct TestClock {
  static inline std::atomic<std::int64_t> elapsedMilliseconds{0};
  static orlesk::CapturePace::Clock::time_point Now() {
    return orlesk::CapturePace::Clock::time_point{} +
           std::chrono::milliseconds(elapsedMilliseconds.load());
  }
  static void Advance(std::chrono::milliseconds time) { elapsedMilliseconds += time.count(); }
};

class RecorderControl : public ::testing::Test {
 protected:
  std::int32_t Start(const std::filesystem::path& path, std::int32_t rate = 8000,
                     std::int32_t bits = 16) {
    return recorder.Start(test_support::Utf16Path(path).c_str(), rate, bits);
  }
  fake::FakeCaptureDevice& device() { return *fake.device; }

  test_support::ScratchFolder dir;
  fake::FakeCaptureSystem fake;
  orlesk::Recorder recorder{fake, {&TestClock::Now}};
};

}  // namespace recorder_test
