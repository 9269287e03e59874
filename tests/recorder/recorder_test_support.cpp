#include "recorder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace recorder_test {

namespace fs = std::filesystem;

test_support::Bytes AudioOf(const test_support::Bytes& file) {
  if (file.size() < 44) {
    return {};
  }
  return {file.begin() + 44, file.end()};
}

bool WaitForAudio(const fs::path& path, std::size_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::error_code error;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto size = fs::file_size(path, error);
    if (!error && size >= 44 + bytes) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

test_support::Bytes ExpectFinishedRecording(const fs::path& path,
                                            unsigned frameBytes) {
  const test_support::Bytes file = test_support::ReadWholeFile(path);
  EXPECT_GE(file.size(), 44u);
  if (file.size() < 44) {
    return {};
  }
  const std::size_t audioBytes = file.size() - 44;
  EXPECT_EQ(test_support::Le32At(file, 40), audioBytes) << path;
  EXPECT_EQ(test_support::Le32At(file, 4), audioBytes + 36) << path;
  EXPECT_EQ(audioBytes % frameBytes, 0u) << path;
  return AudioOf(file);
}

std::size_t ExpectFinishedPrefix(const fs::path& path, const std::vector<std::uint8_t>& input,
                                 unsigned frameBytes) {
  const test_support::Bytes audio = ExpectFinishedRecording(path, frameBytes);
  EXPECT_LE(audio.size(), input.size());
  EXPECT_TRUE(audio.size() <= input.size() &&
              std::equal(audio.begin(), audio.end(), input.begin()))
      << "the recording is not the start of the input";
  return audio.size();
}

}  // namespace recorder_test
