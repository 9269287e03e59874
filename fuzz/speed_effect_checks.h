// What the speed effect must make of a source; a broken rule aborts (see
// fuzz_check.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Checks the status of a call on `source` at `speed` and what it left in the
// destination (nothing when it created none): a documented status, and for
// a finished file consistent sizes, scaled rates and, frame by frame, what
// shrinking, copying and stretching must give. Every work buffer is bounded,
// so running out of memory is never an outcome.
void CheckSpeedEffectOutcome(ByteView source, std::int32_t speed, std::int32_t status,
                             const std::optional<Bytes>& destination);

}  // namespace fuzz
