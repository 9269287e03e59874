// The speed and tempo effects on two files, behind the exported C functions.
#pragma once

#include <cstdint>

namespace tavrel {

// Writes `destination` as `source` at `speed` percent and returns one of the
// TAVREL_ statuses of tavrel.h. Paths are null-terminated UTF-16. May throw
// std::bad_alloc while converting paths; every file it opened is closed by
// then.
std::int32_t ApplySpeedEffect(const char16_t* source, const char16_t* destination,
                              std::int32_t speed);

// The same for the tempo effect: the pitch kept, the rate unchanged.
std::int32_t ApplyTempoEffect(const char16_t* source, const char16_t* destination,
                              std::int32_t speed);

}  // namespace tavrel
