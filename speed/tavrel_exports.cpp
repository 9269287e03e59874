// The exported entry point. Nothing may be thrown across the C boundary.
#include <new>

#include "speed_effect.h"
#include "tavrel.h"

extern "C" int32_t ApplySpeedEffectToWav(const char16_t* source, const char16_t* destination,
                                         int32_t speed) {
  try {
    return tavrel::ApplySpeedEffect(source, destination, speed);
  } catch (const std::bad_alloc&) {
    return TAVREL_ERROR_NO_MEMORY;
  } catch (...) {
    return TAVREL_ERROR_IO;
  }
}
