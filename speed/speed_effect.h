// The speed effect on two files, behind the exported C function.
#pragma once

#include <cstdint>

namespace speed {

// Statuses of the speed effect; the public header gives each a name too.
enum Status : std::int32_t {
  kSuccess = 999,
  kBadSpeed = 1,
  kSourceNotOpened = 2,
  kDestinationNotCreated = 3,
  kShortHeader = 4,
  kOutOfMemory = 5,
  kUnsupportedHeader = 6,
  kInputOutputError = 7,
};

// Writes `destination` as `source` at `speed` percent. Paths are
// null-terminated UTF-16. May throw std::bad_alloc while converting paths;
// every file it opened is closed by then.
std::int32_t ApplySpeedEffect(const char16_t* source, const char16_t* destination,
                              std::int32_t speed);

}  // namespace speed
