#include "change_speed.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "canonical_copy.h"
#include "command_line.h"
#include "layout_text.h"
#include "tavrel.h"
#include "temporary_file.h"
#include "utf16_argument.h"
#include "wav_layout.h"
#include "wav_summary.h"

namespace tavrel_tool {

namespace {

using tool_support::kExitFailure;
using tool_support::kExitSuccess;
using tool_support::kExitUsage;

// The change's paths as the library takes them.
struct WidePaths {
  std::u16string source;
  std::u16string destination;
};

// Runs the library from `input` (the source or its copy) and reports.
int CallLibrary(const SpeedChange& change, const std::u16string& input,
                const std::u16string& destination, const WavReading& source) {
  const std::int32_t status = ApplySpeedEffectToWav(input.c_str(), destination.c_str(), change.speed);
  if (status != TAVREL_SUCCESS) {
    std::fprintf(stderr, "tavrel: '%s' -> '%s': %s\n", change.source.c_str(),
                 change.destination.c_str(), TavrelStatusMessage(status));
    return kExitFailure;
  }
  std::printf("%s: %s -> %s: %s (speed %d%%)\n", change.source.c_str(), DescribeWav(source).c_str(),
              change.destination.c_str(), DescribeWav(ReadWavLayout(change.destination)).c_str(),
              change.speed);
  return kExitSuccess;
}

// `what` completes "'in.wav' ...": "is a FLAC file", "holds 32-bit float samples".
int Refuse(const SpeedChange& change, const std::string& what, unsigned bitsPerSample) {
  std::fprintf(stderr,
               "tavrel: '%s' %s: the speed effect computes 8-, 16-, 24- and 32-bit integer PCM "
               "WAV only; nothing was written.\n"
               "tavrel: convert it first, e.g.: %s\n",
               change.source.c_str(), what.c_str(),
               ConversionAdvice(change.source, bitsPerSample).c_str());
  return kExitFailure;
}

// With --as-is: what the library will make of a source that is not a
// canonical integer PCM file.
void WarnIfNotCanonical(const SpeedChange& change, const WavReading& reading) {
  std::string reason;
  const char* result = "will not be a valid WAV file";
  if (reading.outcome == WavReading::Outcome::kNotWav) {
    reason = "it is " + reading.what;
  } else if (reading.outcome == WavReading::Outcome::kLayout) {
    if (!IsCanonical(reading.layout)) {
      reason = "its 'data' chunk is " + LayoutDifferences(reading.layout);
    } else if (const auto samples = UncomputableSamples(reading.layout.format, change.speed)) {
      reason = "it holds " + *samples;
      result = "will not hold the right samples";
    }
  }
  if (!reason.empty()) {
    std::fprintf(stderr,
                 "tavrel: warning: '%s' is not a plain 44-byte integer PCM WAV file (%s); "
                 "with --as-is the result %s\n",
                 change.source.c_str(), reason.c_str(), result);
  }
}

int ChangeSpeedThroughCopy(const SpeedChange& change, const WidePaths& paths,
                           const WavReading& reading) {
  // The library refuses to overwrite its own source, but it is about to be
  // given the copy as its source.
  std::error_code unknown;
  if (std::filesystem::equivalent(change.source, change.destination, unknown)) {
    std::fprintf(stderr, "tavrel: '%s' -> '%s': %s\n", change.source.c_str(),
                 change.destination.c_str(), TavrelStatusMessage(TAVREL_ERROR_DESTINATION));
    return kExitFailure;
  }
  // Beside the destination: on its file system, and where the user expects
  // files to appear.
  const std::filesystem::path folder = std::filesystem::path(change.destination).parent_path();
  TemporaryFile copy(folder.empty() ? std::filesystem::path(".") : folder);
  if (!copy.created()) {
    std::fprintf(stderr, "tavrel: '%s' -> '%s': %s (%s)\n", change.source.c_str(),
                 change.destination.c_str(), TavrelStatusMessage(TAVREL_ERROR_DESTINATION),
                 std::strerror(copy.error()));
    return kExitFailure;
  }
  std::optional<std::string> failure =
      WriteCanonicalCopy(change.source, reading.layout, copy.stream());
  if (!failure && !copy.Close()) {
    failure = std::string("writing the copy failed: ") + std::strerror(errno);
  }
  if (failure) {
    std::fprintf(stderr, "tavrel: '%s' -> '%s': cannot copy the samples to '%s': %s\n",
                 change.source.c_str(), change.destination.c_str(), copy.path().c_str(),
                 failure->c_str());
    return kExitFailure;
  }
  std::printf("%s: read 'data' %s\n", change.source.c_str(),
              LayoutDifferences(reading.layout).c_str());
  std::fflush(stdout);
  // The copy's name is the destination's folder (UTF-8) and ASCII.
  return CallLibrary(change, tool_support::Utf16Argument(copy.path().string()).value(),
                     paths.destination, reading);
}

}  // namespace

int ChangeSpeed(const SpeedChange& change) {
  std::optional<std::u16string> source = tool_support::Utf16Argument(change.source);
  std::optional<std::u16string> destination = tool_support::Utf16Argument(change.destination);
  if (!source || !destination) {
    std::fprintf(stderr, "tavrel: paths must be valid UTF-8\n");
    return kExitUsage;
  }
  const WidePaths paths{std::move(*source), std::move(*destination)};
  const WavReading reading = ReadWavLayout(change.source);
  if (change.asIs) {
    WarnIfNotCanonical(change, reading);
    return CallLibrary(change, paths.source, paths.destination, reading);
  }
  switch (reading.outcome) {
    case WavReading::Outcome::kUnopenable:
      // The library says which of its reasons applies.
      return CallLibrary(change, paths.source, paths.destination, reading);
    case WavReading::Outcome::kNotWav: return Refuse(change, "is " + reading.what, 16);
    case WavReading::Outcome::kLayout: break;
  }
  const WavFormat& format = reading.layout.format;
  if (const std::optional<std::string> samples = UncomputableSamples(format, change.speed)) {
    return Refuse(change, "holds " + *samples, format.bitsPerSample);
  }
  // Below speed 1 the library refuses before it touches any file: no copy
  // is worth making.
  if (IsCanonical(reading.layout) || change.speed < 1) {
    return CallLibrary(change, paths.source, paths.destination, reading);
  }
  return ChangeSpeedThroughCopy(change, paths, reading);
}

}  // namespace tavrel_tool
