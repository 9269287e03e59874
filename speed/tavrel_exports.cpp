// The exported entry points. Nothing may be thrown across the C boundary.
#include <new>

#include "host_path.h"
#include "speed_effect.h"
#include "tavrel.h"

extern "C" int32_t TAVREL_CALL ApplySpeedEffectToWav(const TavrelPathChar* source,
                                                     const TavrelPathChar* destination,
                                                     int32_t speed) {
  try {
    return tavrel::ApplySpeedEffect(common::AsUtf16(source), common::AsUtf16(destination), speed);
  } catch (const std::bad_alloc&) {
    return TAVREL_ERROR_NO_MEMORY;
  } catch (...) {
    return TAVREL_ERROR_IO;
  }
}

extern "C" int32_t TAVREL_CALL ApplyTempoEffectToWav(const TavrelPathChar* source,
                                                     const TavrelPathChar* destination,
                                                     int32_t speed) {
  try {
    return tavrel::ApplyTempoEffect(common::AsUtf16(source), common::AsUtf16(destination), speed);
  } catch (const std::bad_alloc&) {
    return TAVREL_ERROR_NO_MEMORY;
  } catch (...) {
    return TAVREL_ERROR_IO;
  }
}
