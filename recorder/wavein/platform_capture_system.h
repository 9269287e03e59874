// The capture layer the library records through on this platform: the
// Windows wave-input API.
#pragma once

#include "wavein_capture.h"

namespace orlesk {

using PlatformCaptureSystem = WaveInCaptureSystem;

}  // namespace orlesk
