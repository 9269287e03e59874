// The ALSA capture layer: PCM "default", capture, mono, at the exact rate
// (ALSA may resample), with the sample format the bit depth names: U8,
// S16_LE, S24_3LE or S32_LE. Any other depth is refused.
#pragma once

#include "capture_device.h"

namespace orlesk {

class AlsaCaptureSystem final : public CaptureSystem {
 public:
  constexpr AlsaCaptureSystem() = default;
  std::unique_ptr<CaptureDevice> Open(const CaptureFormat& format, CaptureDoneCallback callback,
                                      void* context) override;
};

}  // namespace orlesk
