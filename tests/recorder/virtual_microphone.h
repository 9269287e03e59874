// A capture device without a sound card: alsa-lib's file plugin as the
// "default" PCM, reading its audio from a named pipe that the test feeds.
//
// The plugin delivers audio as fast as it is read; a pipe makes the test
// decide how much there is. The feeder writes whole reports (at most
// PIPE_BUF bytes, so each write is atomic), which keeps every read of the
// plugin aligned with the reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "recorder_test_support.h"

namespace recorder_test {

class VirtualMicrophone {
 public:
  // Writes the configuration and points ALSA_CONFIG_PATH at it. Must run
  // before alsa-lib is first used in the process.
  VirtualMicrophone();
  const std::filesystem::path& pipe() const { return pipe_; }

 private:
  test_support::ScratchFolder dir_;
  std::filesystem::path pipe_;
};

// Feeds `input` into the pipe, `chunkBytes` at a time, until stopped or the
// input runs out. Holds the pipe open for writing from construction on, so
// the plugin's open does not block and its reads never see an end of file.
class PipeFeeder {
 public:
  PipeFeeder(const std::filesystem::path& pipe, const std::vector<std::uint8_t>& input,
             std::size_t chunkBytes);
  ~PipeFeeder();
  PipeFeeder(const PipeFeeder&) = delete;
  PipeFeeder& operator=(const PipeFeeder&) = delete;

  void Start();
  void Stop();
  std::size_t fed() const { return fed_.load(); }

 private:
  void Run();

  int descriptor_;
  const std::vector<std::uint8_t>& input_;
  std::size_t chunkBytes_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> fed_{0};
  std::thread thread_;
};

using test_support::NoiseBytes;

// The microphone of the test program, set up by its main() before any test
// runs (virtual_microphone_main.cpp).
extern VirtualMicrophone* microphone;

}  // namespace recorder_test
