// One call of an exported effect on a fuzz input, through real files in
// memory (/dev/shm), exactly as a host makes it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "fuzz_check.h"
#include "speed_effect_checks.h"
#include "speed_effect_input.h"
#include "tavrel.h"
#include "test_files.h"

namespace fuzz {

using ExportedEffect = decltype(&ApplySpeedEffectToWav);

struct EffectRun {
  std::int32_t status = 0;
  std::optional<Bytes> destination;  // nothing when the call created none
};

// Writes the source, removes any earlier destination, runs `effect` and
// holds it to leaving the source untouched.
inline EffectRun RunOnFiles(ExportedEffect effect, const SpeedEffectInput& input) {
  static const test_support::ScratchFolder scratch(test_support::ScratchFolder::Medium::kMemory);
  static const std::filesystem::path sourcePath = scratch / "source.wav";
  static const std::filesystem::path destinationPath = scratch / "destination.wav";
  static const test_support::HostString wideSource = test_support::HostPath(sourcePath);
  static const test_support::HostString wideDestination = test_support::HostPath(destinationPath);

  test_support::WriteWholeFile(sourcePath, input.source);
  std::error_code ignored;
  std::filesystem::remove(destinationPath, ignored);

  EffectRun run;
  run.status = effect(wideSource.c_str(), wideDestination.c_str(), input.speed);
  const std::optional<Bytes> sourceAfter = test_support::ReadFileIfExists(sourcePath);
  FUZZ_CHECK(sourceAfter && std::equal(sourceAfter->begin(), sourceAfter->end(),
                                       input.source.begin(), input.source.end()));
  run.destination = test_support::ReadFileIfExists(destinationPath);
  return run;
}

}  // namespace fuzz
