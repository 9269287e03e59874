// Fuzz target for ApplyTempoEffectToWav: the speed effect's inputs (a speed,
// then the source's bytes), through real files in memory as a host calls
// it. Besides the sanitizers' checks it holds the call to its promises: the
// source untouched; at 100 the speed effect's own outcome; otherwise a
// documented status, the destination that status leaves, and for a finished
// file the source's header with exactly floor(N × 100 / speed) frames.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "exported_effect_run.h"
#include "fuzz_check.h"
#include "speed_effect_checks.h"
#include "speed_effect_input.h"
#include "tavrel.h"

namespace {

std::uint32_t Le(const fuzz::Bytes& bytes, std::size_t offset, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) {
    value |= std::uint32_t{bytes[offset + i]} << (8 * i);
  }
  return value;
}

void CheckTempoOutcome(fuzz::ByteView sourceView, std::int32_t speed, std::int32_t status,
                       const std::optional<fuzz::Bytes>& destination) {
  const fuzz::Bytes source(sourceView.begin(), sourceView.end());
  if (speed < 1) {
    FUZZ_CHECK(status == TAVREL_ERROR_SPEED && !destination);
    return;
  }
  FUZZ_CHECK(destination.has_value());
  if (source.size() < 44) {
    FUZZ_CHECK(status == TAVREL_ERROR_SHORT_HEADER && destination->empty());
    return;
  }
  const std::uint32_t channels = Le(source, 22, 2);
  const std::uint32_t rate = Le(source, 24, 4);
  const std::uint32_t blockAlign = Le(source, 32, 2);
  const std::uint32_t bits = Le(source, 34, 2);
  const bool computable = (bits == 8 || bits == 16 || bits == 24 || bits == 32) && channels > 0 &&
                          rate > 0 && channels * (bits / 8) <= blockAlign;
  if (blockAlign != 0 && !computable) {
    FUZZ_CHECK(status == TAVREL_ERROR_UNSUPPORTED && destination->empty());
    return;
  }
  if (status == TAVREL_ERROR_NO_MEMORY) {
    // Only a window too large for the limit: many channels. The window is
    // longest at 384 kHz and above, 119,042 frames, which 141 channels take
    // beyond 2^24 samples.
    FUZZ_CHECK(destination->size() == 44 && channels > 140);
    FUZZ_CHECK(std::equal(source.begin(), source.begin() + 44, destination->begin()));
    return;
  }
  FUZZ_CHECK(status == TAVREL_SUCCESS);
  const std::uint64_t frames =
      blockAlign == 0 ? 0 : (source.size() - 44) / blockAlign * 100 / static_cast<std::uint64_t>(speed);
  FUZZ_CHECK(destination->size() == 44 + frames * blockAlign);
  FUZZ_CHECK(std::equal(source.begin() + 8, source.begin() + 40, destination->begin() + 8));
  FUZZ_CHECK(Le(*destination, 40, 4) == std::min<std::uint64_t>(frames * blockAlign, 0xFFFFFFFFu - 36));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SpeedEffectInput input{};
  if (!fuzz::DecodeSpeedEffectInput(fuzz::ByteView(data, size), input)) {
    return 0;
  }
  const fuzz::EffectRun run = fuzz::RunOnFiles(ApplyTempoEffectToWav, input);
  if (input.speed == 100) {
    fuzz::CheckSpeedEffectOutcome(input.source, input.speed, run.status, run.destination);
  } else {
    CheckTempoOutcome(input.source, input.speed, run.status, run.destination);
  }
  return 0;
}
