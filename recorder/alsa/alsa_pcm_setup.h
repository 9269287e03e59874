// Opening and configuring the ALSA PCM that a capture device reads from.
#pragma once

#include <alsa/asoundlib.h>

#include <memory>

#include "capture_device.h"

namespace orlesk {

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct CapturePcm {
  PcmHandle pcm;
  unsigned frameBytes = 0;
  snd_pcm_uframes_t ringFrames = 0;
  // One period, the natural wait when the device has nothing to give.
  int periodMilliseconds = 0;
};

// Opens "default" for non-blocking capture in `format`, with a ring buffer
// of at least 500 ms, and prepares it. No PCM when the device refuses.
CapturePcm OpenCapturePcm(const CaptureFormat& format);

// Keeps alsa-lib's error messages off the host's stderr on this thread for
// as long as the guard lives: the library prints nothing.
class SilentAlsaErrors {
 public:
  SilentAlsaErrors();
  ~SilentAlsaErrors();
  SilentAlsaErrors(const SilentAlsaErrors&) = delete;
  SilentAlsaErrors& operator=(const SilentAlsaErrors&) = delete;

 private:
  snd_local_error_handler_t previous_;
};

}  // namespace orlesk
