// orlesk OUT.wav [--rate 8000] [--bits 16] [--seconds N]
//
// Records mono PCM from the default input device into OUT.wav until it
// holds N seconds of audio or SIGINT / SIGTERM / SIGHUP arrives, then
// stops, so the file is always finalised. A recording also ends at the
// WAV size limit, and at once when the file is removed, replaced or
// truncated by someone else.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "command_line.h"
#include "decimal_numbers.h"
#include "file_watch.h"
#include "orlesk.h"
#include "recording_length.h"
#include "recording_session.h"
#include "utf16_argument.h"

namespace {

bool IsRecordableDepth(std::int32_t bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32;
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

  if (outputPath.empty()) {
    std::fprintf(stderr, "orlesk: OUT.wav is empty: give the path of the file to record to\n");
    return tool_support::kExitUsage;
  }
  if (rate <= 0) {
    std::fprintf(stderr, "orlesk: --rate %d: the sample rate must be a positive number of Hz\n",
                 rate);
    return tool_support::kExitUsage;
  }
  if (!IsRecordableDepth(bits)) {
    std::fprintf(stderr, "orlesk: --bits %d: the bits per sample must be 8, 16, 24 or 32\n",
                 bits);
    return tool_support::kExitUsage;
  }
  const std::optional<std::u16string> widePath = tool_support::Utf16Argument(outputPath);
  if (!widePath) {
    std::fprintf(stderr, "orlesk: the path '%s' is not valid UTF-8\n", outputPath.c_str());
    return tool_support::kExitUsage;
  }
  std::optional<orlesk_tool::RecordingLength> length;
  if (seconds) {
    std::string why;
    length = orlesk_tool::LengthOf(*seconds, rate, bits, why);
    if (!length) {
      std::fprintf(stderr, "orlesk: --seconds %.10g at %d Hz, %d bits %s\n", *seconds, rate, bits,
                   why.c_str());
      return tool_support::kExitUsage;
    }
  }
  const auto frameBytes = static_cast<std::uint32_t>(bits / 8);
  const std::uint64_t limitBytes = orlesk_tool::LargestDataBytes(frameBytes);

  orlesk_tool::HoldTerminationSignals();
  const std::int32_t started = StartRecordingWav(widePath->c_str(), rate, bits);
  if (started != ORLESK_SUCCESS) {
    std::fprintf(stderr, "orlesk: '%s' at %d Hz, %d-bit mono: %s\n", outputPath.c_str(), rate,
                 bits, OrleskStatusMessage(started));
    return tool_support::kExitFailure;
  }
  orlesk_tool::FileWatch file(outputPath);
  orlesk_tool::WaitForEndOfRecording(length, limitBytes, file, ::isatty(STDERR_FILENO) == 1);

  const std::int32_t stopped = StopRecordingWav();
  // A last look, now that nothing more is written.
  const auto recordedBytes = static_cast<std::uint64_t>(file.Look());
  const bool ours = file.fate() == orlesk_tool::FileFate::kInPlace;
  if (stopped == ORLESK_ERROR_WRITE && !ours) {
    std::fprintf(stderr,
                 "orlesk: '%s': the file was %s by someone else during the recording; the "
                 "recording in it is lost\n",
                 outputPath.c_str(), orlesk_tool::DescribeFate(file.fate()));
  } else if (stopped == ORLESK_ERROR_AUDIO_LOST && recordedBytes >= limitBytes) {
    std::fprintf(stderr,
                 "orlesk: '%s': the WAV size limit (4 GiB) was reached after %.1f s of audio; "
                 "the recording ends there\n",
                 outputPath.c_str(),
                 static_cast<double>(recordedBytes / frameBytes) / static_cast<double>(rate));
  } else if (stopped != ORLESK_SUCCESS) {
    std::fprintf(stderr, "orlesk: '%s': %s\n", outputPath.c_str(), OrleskStatusMessage(stopped));
  }
  // The stop keeps every frame captured before it; a timed recording keeps
  // exactly its length. A file that is no longer the recording's is left
  // alone.
  bool cut = true;
  if (length && ours) {
    cut = orlesk_tool::CutRecordingTo(outputPath, *length);
    if (!cut) {
      std::fprintf(stderr, "orlesk: '%s': cannot cut the recording to %g s\n",
                   outputPath.c_str(), length->seconds);
    }
  }
  if (stopped != ORLESK_SUCCESS || !cut) {
    return tool_support::kExitFailure;
  }
  std::printf("Recorded %s (%d Hz, %d-bit mono)\n", outputPath.c_str(), rate, bits);
  return tool_support::kExitSuccess;
}
