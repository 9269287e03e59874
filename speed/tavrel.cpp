// The exported entry point. Nothing may be thrown across the C boundary.
#include "tavrel.h"

#include <new>

#include "speed_effect.h"

static_assert(TAVREL_SUCCESS == speed::kSuccess);
static_assert(TAVREL_ERROR_SPEED == speed::kBadSpeed);
static_assert(TAVREL_ERROR_SOURCE == speed::kSourceNotOpened);
static_assert(TAVREL_ERROR_DESTINATION == speed::kDestinationNotCreated);
static_assert(TAVREL_ERROR_SHORT_HEADER == speed::kShortHeader);
static_assert(TAVREL_ERROR_NO_MEMORY == speed::kOutOfMemory);
static_assert(TAVREL_ERROR_UNSUPPORTED == speed::kUnsupportedHeader);
static_assert(TAVREL_ERROR_IO == speed::kInputOutputError);

extern "C" int32_t ApplySpeedEffectToWav(const char16_t* source, const char16_t* destination,
                                         int32_t speed) {
  try {
    return speed::ApplySpeedEffect(source, destination, speed);
  } catch (const std::bad_alloc&) {
    return TAVREL_ERROR_NO_MEMORY;
  } catch (...) {
    return TAVREL_ERROR_IO;
  }
}
