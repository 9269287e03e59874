// Fuzz target for ApplySpeedEffectToWav: arbitrary source bytes at an
// arbitrary speed, through real files in memory (/dev/shm), exactly as a
// host calls it. Besides the sanitizers' own checks, it holds the call to
// what its callers rely on: the source left untouched, and a status and a
// destination that speed_effect_checks.h accepts.
#include <cstdint>

#include "exported_effect_run.h"
#include "speed_effect_checks.h"
#include "speed_effect_input.h"
#include "tavrel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SpeedEffectInput input{};
  if (!fuzz::DecodeSpeedEffectInput(fuzz::ByteView(data, size), input)) {
    return 0;
  }
  const fuzz::EffectRun run = fuzz::RunOnFiles(ApplySpeedEffectToWav, input);
  fuzz::CheckSpeedEffectOutcome(input.source, input.speed, run.status, run.destination);
  return 0;
}
