#include "change_speed.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "canonical_copy.h"
#include "destination.h"
#include "command_line.h"
#include "layout_text.h"
#include "saved_stream.h"
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

// "tavrel: 'in.wav' -> 'out.wav': <what>".
int Fail(const SpeedChange& change, const std::string& what) {
  std::fprintf(stderr, "tavrel: '%s' -> '%s': %s\n", change.source.c_str(),
               change.destination.c_str(), what.c_str());
  return kExitFailure;
}

// A status's message says what happened and then, after its last "; ",
// what the status left in the library's destination. When that was a
// temporary file, now removed, the command says what it left of DEST.
std::string WhatHappened(std::int32_t status) {
  const std::string message = TavrelStatusMessage(status);
  return message.substr(0, message.rfind("; "));
}

std::string Untouched(const SpeedChange& change, const Destination& destination) {
  return destination.way == Destination::Way::kStandardOutput
             ? "nothing was written to standard output"
             : "'" + change.destination + "' is as it was";
}

// A temporary file that cannot be created beside DEST.
int FailToCreate(const SpeedChange& change, const Destination& destination, int error) {
  return Fail(change, WhatHappened(TAVREL_ERROR_DESTINATION) + " (" + std::strerror(error) +
                          "); " + Untouched(change, destination));
}

// The library refuses to overwrite its own source, but it is given a copy
// of the source or a temporary file in place of the destination.
bool SourceIsDestination(const SpeedChange& change) {
  std::error_code unknown;
  return change.source != "-" && change.destination != "-" &&
         std::filesystem::equivalent(change.source, change.destination, unknown);
}

std::int32_t Apply(const SpeedChange& change, const std::string& input, const std::string& output) {
  // Temporary files' names are a folder of a path given as UTF-8, or the
  // system's, and ASCII.
  const std::optional<std::u16string> from = tool_support::Utf16Argument(input);
  const std::optional<std::u16string> to = tool_support::Utf16Argument(output);
  if (!from || !to) {
    return TAVREL_ERROR_DESTINATION;
  }
  return change.keepPitch ? ApplyTempoEffectToWav(from->c_str(), to->c_str(), change.speed)
                          : ApplySpeedEffectToWav(from->c_str(), to->c_str(), change.speed);
}

// "plays 33.3% shorter": how the result's length, at the source's rate,
// compares with the source's.
std::string PlayingLength(const WavReading& source, const WavReading& result) {
  const bool measured = source.outcome == WavReading::Outcome::kLayout &&
                        result.outcome == WavReading::Outcome::kLayout;
  const std::uint64_t before = measured ? source.layout.Frames() : 0;
  const std::uint64_t after = measured ? result.layout.Frames() : 0;
  if (before == 0 || after == before) {
    return "plays as long";
  }
  const double change = static_cast<double>(after) / static_cast<double>(before) - 1.0;
  char text[64];
  std::snprintf(text, sizeof text, "plays %.1f%% %s", (change < 0 ? -change : change) * 100.0,
                change < 0 ? "shorter" : "longer");
  return text;
}

void Summarise(const SpeedChange& change, const WavReading& source, const WavReading& result) {
  const std::string how = change.keepPitch
                              ? "tempo " + std::to_string(change.speed) + "%, pitch kept: " +
                                    PlayingLength(source, result)
                              : "speed " + std::to_string(change.speed) + "%";
  std::fprintf(stderr, "%s: %s -> %s: %s (%s)\n", change.source.c_str(),
               DescribeWav(source).c_str(), change.destination.c_str(),
               DescribeWav(result).c_str(), how.c_str());
}

// The speed at which the speed effect computes samples as the call will:
// the tempo effect computes them at every speed but 100, as the speed
// effect does below 100.
std::int32_t ComputingSpeed(const SpeedChange& change) {
  return change.keepPitch && change.speed != 100 ? 99 : change.speed;
}

// Runs the library from `input` (the source, its saved stream or its copy),
// puts the new file in place and reports.
int CallLibrary(const SpeedChange& change, const Destination& destination, const std::string& input,
                const WavReading& source) {
  if (destination.way == Destination::Way::kDirect) {
    const std::int32_t status = Apply(change, input, change.destination);
    if (status != TAVREL_SUCCESS) {
      return Fail(change, TavrelStatusMessage(status));
    }
    Summarise(change, source, ReadWavLayout(change.destination));
    return kExitSuccess;
  }
  if (SourceIsDestination(change) || !destination.writable) {
    return Fail(change, TavrelStatusMessage(TAVREL_ERROR_DESTINATION));
  }
  TemporaryFile finished(destination.folder);
  if (!finished.created()) {
    return FailToCreate(change, destination, finished.error());
  }
  // The library opens it by its name; nothing was written through this
  // stream, so closing it loses nothing.
  finished.Close();
  const std::int32_t status = Apply(change, input, finished.path().string());
  if (status != TAVREL_SUCCESS) {
    return Fail(change, WhatHappened(status) + "; " + Untouched(change, destination));
  }
  const WavReading result = ReadWavLayout(finished.path());
  if (const std::optional<std::string> failure = Deliver(destination, finished)) {
    // Standard output may have taken part of the file.
    return Fail(change, destination.way == Destination::Way::kReplace
                            ? *failure + "; " + Untouched(change, destination)
                            : *failure);
  }
  Summarise(change, source, result);
  return kExitSuccess;
}

// `what` completes "'in.wav' ...": "is a FLAC file", "holds 32-bit float samples".
int Refuse(const SpeedChange& change, const std::string& what, unsigned bitsPerSample) {
  std::fprintf(stderr,
               "tavrel: '%s' %s: the %s effect computes 8-, 16-, 24- and 32-bit integer PCM "
               "WAV only; nothing was written.\n"
               "tavrel: convert it first, e.g.: %s\n",
               change.source.c_str(), what.c_str(), change.keepPitch ? "tempo" : "speed",
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
    } else if (const auto samples = UncomputableSamples(reading.layout.format, ComputingSpeed(change))) {
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

// `saved` holds a stream's bytes, which are no longer needed once copied.
int ChangeSpeedThroughCopy(const SpeedChange& change, const Destination& destination,
                           const std::string& input, const WavReading& reading,
                           std::unique_ptr<TemporaryFile> saved) {
  if (SourceIsDestination(change)) {
    return Fail(change, TavrelStatusMessage(TAVREL_ERROR_DESTINATION));
  }
  TemporaryFile copy(destination.folder);
  if (!copy.created()) {
    return FailToCreate(change, destination, copy.error());
  }
  std::optional<std::string> failure = WriteCanonicalCopy(input, reading.layout, copy.stream());
  if (!failure && !copy.Close()) {
    failure = std::string("writing the copy failed: ") + std::strerror(errno);
  }
  if (failure) {
    return Fail(change, "cannot copy the samples to '" + copy.path().string() + "': " + *failure);
  }
  saved.reset();
  std::fprintf(stderr, "%s: read 'data' %s\n", change.source.c_str(),
               LayoutDifferences(reading.layout).c_str());
  return CallLibrary(change, destination, copy.path().string(), reading);
}

// Saves a stream source to a temporary file; nothing when it was refused or
// failed, which `exitCode` then holds.
std::unique_ptr<TemporaryFile> SaveSource(const SpeedChange& change,
                                          const Destination& destination, int& exitCode) {
  auto saved = std::make_unique<TemporaryFile>(destination.folder);
  if (!saved->created()) {
    exitCode = Fail(change, "cannot save the source: " + std::string(std::strerror(saved->error())));
    return nullptr;
  }
  SavedStream outcome = SaveStream(change.source, saved->stream());
  if (outcome.outcome == SavedStream::Outcome::kSaved && !saved->Close()) {
    outcome = {SavedStream::Outcome::kFailed,
               std::string("writing failed: ") + std::strerror(errno)};
  }
  switch (outcome.outcome) {
    case SavedStream::Outcome::kSaved: return saved;
    case SavedStream::Outcome::kNotWav: exitCode = Refuse(change, "is " + outcome.what, 16); break;
    case SavedStream::Outcome::kFailed:
      exitCode = Fail(change, "cannot save the source to '" + saved->path().string() +
                                  "': " + outcome.what);
      break;
  }
  return nullptr;
}

}  // namespace

int ChangeSpeed(const SpeedChange& change) {
  if (!tool_support::Utf16Argument(change.source) ||
      !tool_support::Utf16Argument(change.destination)) {
    std::fprintf(stderr, "tavrel: paths must be valid UTF-8\n");
    return kExitUsage;
  }
  const Destination destination = FindDestination(change.destination);
  std::string input = change.source;
  std::unique_ptr<TemporaryFile> saved;
  if (IsStream(change.source)) {
    // Nothing is read from a stream for a call that cannot run.
    if (change.speed < 1) {
      return Fail(change, TavrelStatusMessage(TAVREL_ERROR_SPEED));
    }
    int exitCode = kExitFailure;
    saved = SaveSource(change, destination, exitCode);
    if (!saved) {
      return exitCode;
    }
    input = saved->path().string();
  }
  const WavReading reading = ReadWavLayout(input);
  if (change.asIs) {
    WarnIfNotCanonical(change, reading);
    return CallLibrary(change, destination, input, reading);
  }
  switch (reading.outcome) {
    case WavReading::Outcome::kUnopenable:
      // The library says which of its reasons applies.
      return CallLibrary(change, destination, input, reading);
    case WavReading::Outcome::kNotWav: return Refuse(change, "is " + reading.what, 16);
    case WavReading::Outcome::kLayout: break;
  }
  const WavFormat& format = reading.layout.format;
  if (const std::optional<std::string> samples = UncomputableSamples(format, ComputingSpeed(change))) {
    return Refuse(change, "holds " + *samples, format.bitsPerSample);
  }
  // Below speed 1 the library refuses before it touches any file: no copy
  // is worth making.
  if (IsCanonical(reading.layout) || change.speed < 1) {
    return CallLibrary(change, destination, input, reading);
  }
  return ChangeSpeedThroughCopy(change, destination, input, reading, std::move(saved));
}

}  // namespace tavrel_tool
