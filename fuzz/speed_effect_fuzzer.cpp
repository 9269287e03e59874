// Fuzz target for ApplySpeedEffectToWav: arbitrary source bytes at an
// arbitrary speed, through real files in memory (/dev/shm), exactly as a
// host calls it. Besides the sanitizers' own checks, it holds the call to
// what its callers rely on: the source left untouched, and a status and a
// destination that speed_effect_checks.h accepts.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "speed_effect_checks.h"
#include "speed_effect_input.h"
#include "tavrel.h"
#include "test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SpeedEffectInput input{};
  if (!fuzz::DecodeSpeedEffectInput(fuzz::ByteView(data, size), input)) {
    return 0;
  }
  static const test_support::ScratchFolder scratch(test_support::ScratchFolder::Medium::kMemory);
  static const std::filesystem::path sourcePath = scratch / "source.wav";
  static const std::filesystem::path destinationPath = scratch / "destination.wav";
  static const test_support::HostString wideSource = test_support::HostPath(sourcePath);
  static const test_support::HostString wideDestination = test_support::HostPath(destinationPath);

  test_support::WriteWholeFile(sourcePath, input.source);
  std::error_code ignored;
  std::filesystem::remove(destinationPath, ignored);

  const std::int32_t status =
      ApplySpeedEffectToWav(wideSource.c_str(), wideDestination.c_str(), input.speed);

  const std::optional<fuzz::Bytes> sourceAfter = test_support::ReadFileIfExists(sourcePath);
  FUZZ_CHECK(sourceAfter && std::equal(sourceAfter->begin(), sourceAfter->end(),
                                       input.source.begin(), input.source.end()));
  fuzz::CheckSpeedEffectOutcome(input.source, input.speed, status,
                                test_support::ReadFileIfExists(destinationPath));
  return 0;
}
