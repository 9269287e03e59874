// Fuzz target for the conversion between two streams, the whole of the call
// but opening and closing its files, on bytes in memory: thousands of inputs
// a second where the file target manages hundreds. Each input is converted
// twice, with the portable code and with the fastest vector instructions
// this processor has, which must give the same status and bytes; the second
// time the source's length is withheld or misstated, which sizes buffers
// and must change nothing else. The result must pass the same checks as the
// exported call's.
#include <cstdint>
#include <optional>

#include "block_resampling.h"
#include "fuzz_check.h"
#include "memory_streams.h"
#include "speed_effect_checks.h"
#include "speed_effect_input.h"
#include "tavrel.h"
#include "wav_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SpeedEffectInput input{};
  if (!fuzz::DecodeSpeedEffectInput(fuzz::ByteView(data, size), input)) {
    return 0;
  }
  if (input.speed < 1) {
    // Refused by the call before any file is opened; the file target
    // covers it.
    return 0;
  }
  // A slow speed multiplies the frames by up to 100. Small sources reach
  // every path at every speed, so larger ones whose output would pass
  // kMostOutputBytes are left to the file target, and each input here
  // takes well under a millisecond even with the sanitizers.
  constexpr std::uint64_t kMostOutputBytes = std::uint64_t{1} << 12;
  const std::uint64_t mostFrames = input.source.size() * 100 / static_cast<std::uint64_t>(input.speed);
  if (input.speed < 100 && mostFrames > kMostOutputBytes) {
    return 0;
  }
  test_support::MemorySource portableSource(input.source);
  test_support::MemoryDestination portable;
  const std::int32_t status = tavrel::ConvertWav(portableSource, portable, input.speed,
                                                 input.source.size(), tavrel::VectorPath::kPortable);
  const std::size_t length = input.source.size();
  const std::optional<std::uint64_t> statedLength =
      length % 3 == 0 ? std::nullopt : std::optional<std::uint64_t>(length % 3 == 1 ? length / 2 : length);
  test_support::MemorySource fastestSource(input.source);
  test_support::MemoryDestination fastest;
  FUZZ_CHECK(tavrel::ConvertWav(fastestSource, fastest, input.speed, statedLength,
                                tavrel::FastestVectorPath()) == status);
  FUZZ_CHECK(fastest.bytes() == portable.bytes());
  fuzz::CheckSpeedEffectOutcome(input.source, input.speed, status, portable.bytes());
  return 0;
}
