// orlesk OUT.wav [--rate 8000] [--bits 16] [--seconds N]
//
// Records mono PCM from the default input device into OUT.wav until N
// seconds pass or SIGINT / SIGTERM arrives, then stops, so the file is always
// finalised.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "orlesk.h"
#include "recording_session.h"
#include "utf16_argument.h"

namespace {

std::string StartFailure(std::int32_t status, const std::string& path, std::int32_t rate,
                         std::int32_t bits) {
  switch (status) {
    case ORLESK_ERROR_ALREADY_RECORDING:
      return "a recording is already running in this process";
    case ORLESK_ERROR_DEVICE:
      return "the default input device cannot record " + std::to_string(rate) + " Hz, " +
             std::to_string(bits) +
             "-bit mono (bits must be 8, 16, 24 or 32; is there a capture device? try arecord -l)";
    case ORLESK_ERROR_FILE:
      return "cannot create '" + path +
             "': the directory is missing or not writable, or the path is longer than 251 bytes";
    case ORLESK_ERROR_NO_BUFFER:
      return std::to_string(rate) + " Hz at " + std::to_string(bits) +
             " bits gives no whole frame in 100 ms, or too large a buffer to allocate; '" + path +
             "' is left as an empty WAV file";
    default:
      return "recording failed to start (status " + std::to_string(status) + ")";
  }
}

std::string StopFailure(std::int32_t status, const std::string& path) {
  switch (status) {
    case ORLESK_ERROR_NOT_RECORDING:
      return "no recording was running";
    case ORLESK_ERROR_WRITE:
      return "writing '" + path +
             "' failed (disk full?); it holds the audio recorded before the failure";
    default:
      return "recording failed to stop cleanly (status " + std::to_string(status) + ")";
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Records mono PCM audio from the default input device to a WAV file."};
  app.set_version_flag("--version", "orlesk " ORLESK_VERSION);
  std::string outputPath;
  std::int32_t rate = 8000;
  std::int32_t bits = 16;
  std::optional<double> seconds;
  app.add_option("OUT.wav", outputPath, "The WAV file to write (created, or overwritten)")
      ->required();
  app.add_option("--rate", rate, "Sample rate in Hz")->capture_default_str();
  app.add_option("--bits", bits, "Bits per sample: 8, 16, 24 or 32")->capture_default_str();
  app.add_option("--seconds", seconds,
                 "Stop after this many seconds (default: at Ctrl-C or SIGTERM)")
      ->check(CLI::PositiveNumber);
  CLI11_PARSE(app, argc, argv);

  const std::optional<std::u16string> widePath = tool_support::Utf16Argument(outputPath);
  if (!widePath) {
    std::fprintf(stderr, "orlesk: the path '%s' is not valid UTF-8\n", outputPath.c_str());
    return 1;
  }

  orlesk_cli::HoldTerminationSignals();
  const std::int32_t started = StartRecordingWav(widePath->c_str(), rate, bits);
  if (started != ORLESK_SUCCESS) {
    std::fprintf(stderr, "orlesk: %s\n", StartFailure(started, outputPath, rate, bits).c_str());
    return 1;
  }
  orlesk_cli::WaitForEndOfRecording(seconds, outputPath, ::isatty(STDERR_FILENO) == 1);

  const std::int32_t stopped = StopRecordingWav();
  if (stopped != ORLESK_SUCCESS) {
    std::fprintf(stderr, "orlesk: %s\n", StopFailure(stopped, outputPath).c_str());
    return 1;
  }
  std::printf("Recorded %s (%d Hz, %d-bit mono)\n", outputPath.c_str(), rate, bits);
  return 0;
}
