// The wave-input capture layer: the default device (WAVE_MAPPER), mono PCM
// (format tag 1) at the exact rate and the bit depth asked for: 8, 16, 24
// or 32 bits, the depths the ALSA layer records too. Anything the device
// cannot open, or any other depth, is refused.
#pragma once

#include "capture_device.h"

namespace orlesk {

class WaveInCaptureSystem final : public CaptureSystem {
 public:
  constexpr WaveInCaptureSystem() = default;
  std::unique_ptr<CaptureDevice> Open(const CaptureFormat& format, CaptureDoneCallback callback,
                                      void* context) override;
};

}  // namespace orlesk
