// The exported entry points. Nothing may be thrown across the C boundary.
#include <new>

#include "host_path.h"
#include "speed_effect.h"
#include "tavrel.h"

namespace {

// Runs one effect on the host's paths, turning what it throws into a status.
template <typename Effect>
int32_t StatusOf(Effect effect, const TavrelPathChar* source, const TavrelPathChar* destination,
                 int32_t speed) {
  try {
    return effect(common::AsUtf16(source), common::AsUtf16(destination), speed);
  } catch (const std::bad_alloc&) {
    return TAVREL_ERROR_NO_MEMORY;
  } catch (...) {
    return TAVREL_ERROR_IO;
  }
}

}  // namespace

extern "C" int32_t TAVREL_CALL ApplySpeedEffectToWav(const TavrelPathChar* source,
                                                     const TavrelPathChar* destination,
                                                     int32_t speed) {
  return StatusOf(tavrel::ApplySpeedEffect, source, destination, speed);
}

extern "C" int32_t TAVREL_CALL ApplyTempoEffectToWav(const TavrelPathChar* source,
                                                     const TavrelPathChar* destination,
                                                     int32_t speed) {
  return StatusOf(tavrel::ApplyTempoEffect, source, destination, speed);
}
