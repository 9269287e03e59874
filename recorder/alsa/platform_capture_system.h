// The capture layer the library records through on this platform: ALSA.
#pragma once

#include "alsa_capture.h"

namespace orlesk {

using PlatformCaptureSystem = AlsaCaptureSystem;

}  // namespace orlesk
