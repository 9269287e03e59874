// orlesk OUT.wav [--rate 8000] [--bits 16] [--seconds N]
//
// Records mono PCM from the default input device into OUT.wav until it
// holds N seconds of audio or SIGINT / SIGTERM / SIGHUP arrives, then
// stops, so the file is always finalised.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "command_line.h"
#include "decimal_numbers.h"
#include "orlesk.h"
#include "recording_length.h"
#include "recording_session.h"
#include "utf16_argument.h"

int main(int argc, char** argv) {
  CLI::App app{"Records mono PCM audio from the default input device to a WAV file."};
  app.set_version_flag("--version", "orlesk " ORLESK_VERSION);
  std::string outputPath;
  std::int32_t rate = 8000;
  std::int32_t bits = 16;
  std::optional<double> seconds;
  app.add_option("OUT.wav", outputPath, "The WAV file to write (created, or overwritten)")
      ->required();
  tool_support::AcceptDecimalInt32(app.add_option("--rate", rate, "Sample rate in Hz"))
      ->capture_default_str();
  tool_support::AcceptDecimalInt32(
      app.add_option("--bits", bits, "Bits per sample: 8, 16, 24 or 32"))
      ->capture_default_str();
  tool_support::AcceptDecimalNumber(app.add_option(
      "--seconds", seconds,
      "Stop once the file holds this many seconds of audio (default: at Ctrl-C, SIGTERM or "
      "SIGHUP)"));
  if (const std::optional<int> exitCode = tool_support::ParseCommandLine(app, argc, argv)) {
    return *exitCode;
  }

  const std::optional<std::u16string> widePath = tool_support::Utf16Argument(outputPath);
  if (!widePath) {
    std::fprintf(stderr, "orlesk: the path '%s' is not valid UTF-8\n", outputPath.c_str());
    return tool_support::kExitUsage;
  }
  std::optional<orlesk_tool::RecordingLength> length;
  // A rate the device refuses is its to report; only a usable one gives a
  // length to check.
  if (seconds && rate > 0) {
    std::string why;
    length = orlesk_tool::LengthOf(*seconds, rate, bits, why);
    if (!length) {
      std::fprintf(stderr, "orlesk: --seconds %.10g at %d Hz, %d bits %s\n", *seconds, rate, bits,
                   why.c_str());
      return tool_support::kExitUsage;
    }
  }

  orlesk_tool::HoldTerminationSignals();
  const std::int32_t started = StartRecordingWav(widePath->c_str(), rate, bits);
  if (started != ORLESK_SUCCESS) {
    std::fprintf(stderr, "orlesk: '%s' at %d Hz, %d-bit mono: %s\n", outputPath.c_str(), rate,
                 bits, OrleskStatusMessage(started));
    return tool_support::kExitFailure;
  }
  orlesk_tool::WaitForEndOfRecording(length, outputPath, ::isatty(STDERR_FILENO) == 1);

  const std::int32_t stopped = StopRecordingWav();
  // The stop keeps every frame captured before it; a timed recording keeps
  // exactly its length.
  if (length && !orlesk_tool::CutRecordingTo(outputPath, *length)) {
    std::fprintf(stderr, "orlesk: '%s': cannot cut the recording to %g s\n", outputPath.c_str(),
                 length->seconds);
    return tool_support::kExitFailure;
  }
  if (stopped != ORLESK_SUCCESS) {
    std::fprintf(stderr, "orlesk: '%s': %s\n", outputPath.c_str(), OrleskStatusMessage(stopped));
    return tool_support::kExitFailure;
  }
  std::printf("Recorded %s (%d Hz, %d-bit mono)\n", outputPath.c_str(), rate, bits);
  return tool_support::kExitSuccess;
}
